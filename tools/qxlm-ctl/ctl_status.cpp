#include "ctl_status.h"

#include <cstdio>

namespace ctl {
namespace {

bool isDigit(BYTE b) { return b >= '0' && b <= '9'; }

// The value of count decimal digits at at; false unless every one is a digit.
bool digits(const std::vector<BYTE>& reply, size_t at, size_t count, long* value) {
  if (at + count > reply.size()) return false;
  long v = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!isDigit(reply[at + i])) return false;
    v = v * 10 + (reply[at + i] - '0');
  }
  *value = v;
  return true;
}

void setStatusBytes(DecodedStatus* status, BYTE status1, BYTE status2) {
  status->hasStatusBytes = true;
  status->status1 = status1;
  status->status2 = status2;
  for (const StateWord& word : stateWords()) {
    if (word.byte != 0 && ((word.byte == 1 ? status1 : status2) & word.mask) != 0) status->conditions.push_back(&word);
  }
}

// Reads the field whose number starts at *at and moves past it; false at a field
// this tool does not know or one cut short.
bool readField(const std::vector<BYTE>& reply, size_t* at, DecodedStatus* status) {
  long number = 0;
  if (!digits(reply, *at, 2, &number)) return false;
  const size_t data = *at + 2;
  long value = 0;
  switch (number) {
    case 0:
      if (data + 2 > reply.size()) return false;
      setStatusBytes(status, reply[data], reply[data + 1]);
      *at = data + 2;
      return true;
    case 1:
      if (!digits(reply, data, 3, &value)) return false;
      status->hasErrorCode = true;
      status->errorCode = static_cast<int>(value);
      *at = data + 3;
      return true;
    case 2:
      if (!digits(reply, data, 8, &value)) return false;
      status->hasTicketCount = true;
      status->ticketCount = value;
      *at = data + 8;
      return true;
    case 3:
      if (!digits(reply, data, 3, &value)) return false;
      status->hasHeadTemperature = true;
      status->headTempC = static_cast<int>(value);
      *at = data + 3;
      return true;
    case 4:
      if (data + 2 > reply.size()) return false;
      status->hasFormsLength = true;
      status->formsLength = (static_cast<unsigned>(reply[data]) << 8) | reply[data + 1];
      *at = data + 2;
      return true;
    case 5:
      if (!digits(reply, data, 2, &value) || data + 2 + static_cast<size_t>(value) > reply.size()) return false;
      status->hasVersion = true;
      status->version.assign(reply.begin() + static_cast<long>(data + 2),
                             reply.begin() + static_cast<long>(data + 2 + static_cast<size_t>(value)));
      *at = data + 2 + static_cast<size_t>(value);
      return true;
    default:
      return false;
  }
}

const char* typeName(char type) {
  switch (type) {
    case 'S':
      return "short status";
    case 'N':
      return "normal status";
    case 'E':
      return "extended status";
    case 'C':
      return "complete status";
    case 'A':
      return "addressed field";
    default:
      return nullptr;
  }
}

std::string hexByte(BYTE b) {
  char text[8];
  snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(b));
  return text;
}

// A field's bytes as text when they are all printable, else in hexadecimal.
std::string fieldText(const std::vector<BYTE>& data) {
  for (BYTE b : data) {
    if (b < 0x20 || b > 0x7E) return hexBytes(data);
  }
  return std::string(data.begin(), data.end());
}

}  // namespace

bool decodeStatus(const std::vector<BYTE>& reply, DecodedStatus* status) {
  *status = DecodedStatus();
  if (reply.empty()) return false;
  status->type = static_cast<char>(reply[0]);
  const char* name = typeName(status->type);
  if (name == nullptr) return false;
  status->typeName = name;
  size_t at = 1;
  if (status->type == 'A') {
    long number = 0;
    if (!digits(reply, 1, 2, &number)) return true;
    status->field = static_cast<int>(number);
    if (!readField(reply, &at, status)) status->fieldData.assign(reply.begin() + 3, reply.end());
    return true;
  }
  // Field 00 leads every other reply; only a complete status is read further, as
  // what follows field 00 in the others is the printer's own.
  if (!readField(reply, &at, status) || !status->hasStatusBytes) return true;
  if (status->type == 'C') {
    while (at < reply.size() && readField(reply, &at, status)) {
    }
  }
  return true;
}

std::vector<const StateWord*> conditionWords(const DecodedStatus& status) {
  if (!status.conditions.empty()) return status.conditions;
  return {findStateWord(kWordReady)};
}

std::string statusText(const DecodedStatus& status) {
  std::string text = "type: " + std::string(1, status.type) + " (" + status.typeName + ")\n";
  if (status.field >= 0) {
    char field[16];
    snprintf(field, sizeof field, "%02d", status.field);
    text += "field: " + std::string(field) + "\n";
    if (!status.fieldData.empty()) text += "data: " + fieldText(status.fieldData) + "\n";
  }
  if (status.hasStatusBytes) {
    text += "status bytes: " + hexByte(status.status1) + " " + hexByte(status.status2) + "\n";
    if (status.conditions.empty()) text += "  (no condition set: ready)\n";
    for (const StateWord* bit : status.conditions) {
      char line[96];
      snprintf(line, sizeof line, "  %-18s %s\n", bit->name, bit->meaning);
      text += line;
    }
  }
  if (status.hasErrorCode) text += "error code: " + std::to_string(status.errorCode) + "\n";
  if (status.hasTicketCount) text += "ticket count: " + std::to_string(status.ticketCount) + "\n";
  if (status.hasHeadTemperature) {
    text += "head temperature: " + std::to_string(status.headTempC) + " C (" +
            std::to_string(status.headTempC * 9 / 5 + 32) + " F)\n";
  }
  if (status.hasFormsLength) {
    char forms[32];
    if (status.formsLength == 0) {
      snprintf(forms, sizeof forms, "roll");
    } else {
      snprintf(forms, sizeof forms, "%u.%02u in.", status.formsLength / 100, status.formsLength % 100);
    }
    text += "forms length: " + std::string(forms) + "\n";
  }
  if (status.hasVersion) text += "firmware version: " + status.version + "\n";
  return text;
}

void writeStatusMembers(const DecodedStatus& status, tools::JsonWriter* json) {
  json->member("type", std::string(1, status.type)).member("typeName", status.typeName);
  if (status.field >= 0) {
    json->member("field", status.field);
    if (!status.fieldData.empty()) json->member("data", fieldText(status.fieldData));
  }
  if (status.hasStatusBytes) {
    json->member("statusByte1", status.status1).member("statusByte2", status.status2);
    std::vector<std::string> names;
    for (const StateWord* word : status.conditions) names.push_back(word->name);
    json->member("conditions", names);
    writeIppMembers(ippStateOf(conditionWords(status)), json);
  }
  if (status.hasErrorCode) json->member("errorCode", status.errorCode);
  if (status.hasTicketCount) json->member("ticketCount", status.ticketCount);
  if (status.hasHeadTemperature) json->member("headTempC", status.headTempC);
  if (status.hasFormsLength) json->member("formsLength", status.formsLength);
  if (status.hasVersion) json->member("firmwareVersion", status.version);
}

std::string hexBytes(const std::vector<BYTE>& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char hex[4];
    snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(bytes[i]));
    if (i != 0) text += ' ';
    text += hex;
  }
  return text;
}

}  // namespace ctl
