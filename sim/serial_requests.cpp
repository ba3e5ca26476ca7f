#include "sim/serial_requests.h"

#include <cstring>

#include "sim/printer_codes.h"

namespace sim {
namespace {

bool startsWith(const BYTE* data, size_t size, const char* text) {
  const size_t n = std::strlen(text);
  return size >= n && std::memcmp(data, text, n) == 0;
}

// The length of the request at data and its code, or 0 when data holds none.
size_t matchRequest(const BYTE* data, size_t size, SerialItem& item) {
  if (startsWith(data, size, "<lm><SS>")) {
    item.kind = SerialItem::Kind::StatusRequest;
    item.code = request::ShortStatus;
    return 8;
  }
  if (startsWith(data, size, "<SA08>")) {
    item.kind = SerialItem::Kind::DeviceIdQuery;
    return 6;
  }
  if (size < 3 || data[0] != 0x1B || data[1] != 'I') return 0;
  item.kind = SerialItem::Kind::StatusRequest;
  switch (data[2]) {
    case 'S': item.code = request::ShortStatus; return 3;
    case 'N': item.code = request::NormalStatus; return 3;
    case 'E': item.code = request::ExtendedStatus; return 3;
    case 'C': item.code = request::CompleteStatus; return 3;
    case 'A':
      if (size < 4) return 0;
      if (data[3] <= 15) {
        item.code = static_cast<BYTE>(request::FirstField + data[3]);
        return 4;
      }
      if (data[3] == 'c' && size >= 11) {
        item.code = request::PrintF0Ticket;
        return 11;
      }
      return 0;
    default: return 0;
  }
}

// Whether the size bytes at data begin a request that more bytes would complete.
bool beginsRequest(const BYTE* data, size_t size) {
  for (const char* text : {"<lm><SS>", "<SA08>"}) {
    if (size < std::strlen(text) && std::memcmp(data, text, size) == 0) return true;
  }
  if (data[0] != 0x1B) return false;
  if (size == 1) return true;
  if (data[1] != 'I') return false;
  if (size == 2) return true;
  if (data[2] != 'A') return false;
  return size == 3 || (data[3] == 'c' && size < 11);
}

}  // namespace

std::vector<SerialItem> splitSerialWrite(const BYTE* data, size_t size, size_t* unfinished) {
  std::vector<SerialItem> items;
  if (unfinished != nullptr) *unfinished = 0;
  size_t i = 0;
  while (i < size) {
    SerialItem item;
    const size_t length = matchRequest(data + i, size - i, item);
    if (length == 0 && unfinished != nullptr && beginsRequest(data + i, size - i)) {
      *unfinished = size - i;
      break;
    }
    if (length > 0) {
      item.bytes.assign(data + i, data + i + length);
      items.push_back(std::move(item));
      i += length;
      continue;
    }
    if (items.empty() || items.back().kind != SerialItem::Kind::JobData) items.push_back(SerialItem{});
    items.back().bytes.push_back(data[i]);
    ++i;
  }
  return items;
}

}  // namespace sim
