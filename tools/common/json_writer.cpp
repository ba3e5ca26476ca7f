#include "json_writer.h"

#include <cstdio>

namespace tools {

std::string jsonString(const std::string& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      json += escaped;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

void JsonWriter::separate() {
  if (afterKey_) {
    afterKey_ = false;
  } else if (!first_) {
    out_ += separators_.empty() ? "," : separators_.back();
  }
  first_ = false;
}

void JsonWriter::open(char bracket, const char* separator) {
  separate();
  out_ += bracket;
  separators_.push_back(separator);
  first_ = true;
}

void JsonWriter::close(char bracket) {
  out_ += bracket;
  separators_.pop_back();
  first_ = false;
}

JsonWriter& JsonWriter::beginObject() {
  open('{', ",");
  return *this;
}

JsonWriter& JsonWriter::endObject() {
  close('}');
  return *this;
}

JsonWriter& JsonWriter::beginArray(const char* separator) {
  open('[', separator);
  return *this;
}

JsonWriter& JsonWriter::endArray() {
  close(']');
  return *this;
}

JsonWriter& JsonWriter::key(const std::string& name) {
  separate();
  out_ += jsonString(name) + ":";
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::value(const std::string& text) { return literal(jsonString(text)); }

JsonWriter& JsonWriter::value(const std::vector<std::string>& items) {
  beginArray();
  for (const std::string& item : items) value(item);
  return endArray();
}

JsonWriter& JsonWriter::literal(const std::string& json) {
  separate();
  out_ += json;
  return *this;
}

}  // namespace tools
