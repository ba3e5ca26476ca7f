#include "sim/replies.h"

#include <algorithm>
#include <cstdio>

#include "sim/printer_codes.h"

namespace sim {
namespace {

void putText(std::vector<BYTE>& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

void putDigits(std::vector<BYTE>& out, unsigned long value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*lu", width, value);
  putText(out, text);
}

void putNumber(std::vector<BYTE>& out, int number) { putDigits(out, static_cast<unsigned long>(number), 2); }

// A field number or a 3-digit value, clamped to what the digits can show.
void putThreeDigits(std::vector<BYTE>& out, int value) {
  putDigits(out, static_cast<unsigned long>(std::clamp(value, 0, 999)), 3);
}

// Two length digits and at most 99 characters.
void putCounted(std::vector<BYTE>& out, const std::string& text) {
  const std::string cut = text.substr(0, 99);
  putNumber(out, static_cast<int>(cut.size()));
  putText(out, cut);
}

void putFieldData(std::vector<BYTE>& out, int field, const ReplyFacts& f) {
  switch (field) {
    case 0:
      out.push_back(f.status1);
      out.push_back(f.status2);
      break;
    case 1: putThreeDigits(out, f.errorCode); break;
    case 2: putDigits(out, f.ticketCount % 100000000ul, 8); break;
    case 3: putThreeDigits(out, f.headTempC); break;
    case 4:
      out.push_back(static_cast<BYTE>(f.formsLength >> 8));
      out.push_back(static_cast<BYTE>(f.formsLength & 0xFF));
      break;
    case 5: putCounted(out, f.version); break;
    case 8: putText(out, f.deviceId); break;
    case 9: putCounted(out, f.serialNumber); break;
    case 15:
      if (f.inFlashMode) putText(out, f.flashText);
      break;
    default: break;
  }
}

void putField(std::vector<BYTE>& out, int field, const ReplyFacts& f) {
  putNumber(out, field);
  putFieldData(out, field, f);
}

void replaceWatchdogBytes(std::vector<BYTE>& reply, const ReplyFacts& f) {
  if (!f.watchdogBytes) return;
  reply[1] = f.watchdog1;
  reply[2] = f.watchdog2;
}

}  // namespace

std::vector<BYTE> statusReply(BYTE code, const ReplyFacts& f) {
  std::vector<BYTE> out;
  switch (code) {
    case request::ShortStatus:
      out.push_back('S');
      putField(out, 0, f);
      replaceWatchdogBytes(out, f);
      break;
    case request::NormalStatus:
      out.push_back('N');
      putField(out, 0, f);
      putField(out, 1, f);
      break;
    case request::ExtendedStatus:
      out.push_back('E');
      putField(out, 0, f);
      putField(out, 1, f);
      putField(out, 3, f);
      break;
    case request::CompleteStatus:
      out.push_back('C');
      for (int field = 0; field <= 4; ++field) putField(out, field, f);
      if (f.withVersion) putField(out, 5, f);
      replaceWatchdogBytes(out, f);
      break;
    default:
      out.push_back('A');
      putField(out, code - request::FirstField, f);
      break;
  }
  return out;
}

std::string deviceIdFor(const std::string& model) {
  return "MFG:Virtual Ticket Works;MDL:" + model + ";CMD:TKT-ESC;";
}

}  // namespace sim
