// The ANSI code page of the stand-in: Latin-1, or Shift-JIS (932) on request.
// Double-byte characters are converted through the C library's iconv.
#include "platform/posix/code_page.h"

#include <iconv.h>

#include <cstdlib>
#include <cstring>

namespace posix {
namespace {

const UINT kLatin1 = 28591;
const UINT kShiftJis = 932;
const char16_t kNoCharacter = 0x30FB;

UINT chosenCodePage() {
  const char* chosen = getenv("QXLM_ANSI_CODE_PAGE");
  return chosen != nullptr && strcmp(chosen, "932") == 0 ? kShiftJis : kLatin1;
}

// One character through iconv: false when it has no counterpart.
bool convert(const char* to, const char* from, const char* in, size_t inSize, char* out, size_t* outSize) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* inAt = const_cast<char*>(in);
  char* outAt = out;
  size_t outLeft = *outSize;
  const bool ok = iconv(cd, &inAt, &inSize, &outAt, &outLeft) != static_cast<size_t>(-1) && inSize == 0;
  iconv_close(cd);
  *outSize -= outLeft;
  return ok;
}

char16_t wideOfShiftJis(const unsigned char* bytes, size_t count) {
  if (count == 1 && bytes[0] < 0x80) return bytes[0];
  if (count == 1 && bytes[0] >= 0xA1 && bytes[0] <= 0xDF) return static_cast<char16_t>(0xFF61 + (bytes[0] - 0xA1));
  char out[4];
  size_t size = sizeof out;
  if (!convert("UTF-16LE", "CP932", reinterpret_cast<const char*>(bytes), count, out, &size) || size != 2) {
    return kNoCharacter;
  }
  return static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
}

}  // namespace

UINT ansiCodePage() {
  static const UINT codePage = chosenCodePage();
  return codePage;
}

bool isAnsiLeadByte(BYTE byte) {
  return ansiCodePage() == kShiftJis && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

std::u16string wideFromAnsi(const unsigned char* in, size_t count) {
  std::u16string out;
  for (size_t i = 0; i < count;) {
    if (ansiCodePage() != kShiftJis) {
      out += static_cast<char16_t>(in[i++]);
    } else if (isAnsiLeadByte(in[i]) && i + 1 < count) {
      out += wideOfShiftJis(in + i, 2);
      i += 2;
    } else {
      out += wideOfShiftJis(in + i, 1);
      i += 1;
    }
  }
  return out;
}

std::string ansiFromWide(const WCHAR* in, size_t count, char fallback, bool* usedDefault) {
  std::string out;
  *usedDefault = false;
  for (size_t i = 0; i < count; ++i) {
    const char16_t unit = in[i];
    if (ansiCodePage() != kShiftJis) {
      if (unit <= 0xFF) {
        out += static_cast<char>(unit);
        continue;
      }
    } else if (unit < 0x80) {
      out += static_cast<char>(unit);
      continue;
    } else {
      const char bytes[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
      char sjis[4];
      size_t size = sizeof sjis;
      if (convert("CP932", "UTF-16LE", bytes, sizeof bytes, sjis, &size)) {
        out.append(sjis, size);
        continue;
      }
    }
    out += fallback;
    *usedDefault = true;
  }
  return out;
}

}  // namespace posix
