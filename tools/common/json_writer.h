// Builds one JSON text: objects, arrays, strings, integers and booleans, with the
// commas and escapes where they belong.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

namespace tools {

// text as a JSON string. Printer texts are bytes, not UTF-8, so each byte outside
// printable ASCII is escaped on its own.
std::string jsonString(const std::string& text);

class JsonWriter {
 public:
  JsonWriter& beginObject();
  JsonWriter& endObject();
  // separator stands between the items: ",\n " lays a list out one item a line.
  JsonWriter& beginArray(const char* separator = ",");
  JsonWriter& endArray();
  JsonWriter& key(const std::string& name);

  JsonWriter& value(const std::string& text);
  JsonWriter& value(const char* text) { return value(std::string(text)); }
  JsonWriter& value(bool flag) { return literal(flag ? "true" : "false"); }
  template <typename Integer, typename = typename std::enable_if<std::is_integral<Integer>::value>::type>
  JsonWriter& value(Integer number) {
    return literal(std::to_string(number));
  }
  JsonWriter& value(const std::vector<std::string>& items);

  template <typename T>
  JsonWriter& member(const std::string& name, const T& v) {
    return key(name).value(v);
  }

  const std::string& text() const { return out_; }

 private:
  JsonWriter& literal(const std::string& json);
  void open(char bracket, const char* separator);
  void close(char bracket);
  void separate();

  std::string out_;
  std::vector<const char*> separators_;  // per open object or array
  bool first_ = true;                    // nothing yet in the innermost one
  bool afterKey_ = false;
};

}  // namespace tools
