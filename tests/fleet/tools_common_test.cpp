// The option table and the JSON writer every program is built on.
#include <gtest/gtest.h>

#include "json_writer.h"
#include "option_table.h"

namespace {

TEST(JsonWriter, EscapesAndNests) {
  tools::JsonWriter json;
  json.beginObject().member("a\"b", "c\\d\n\x01").member("n", 42).member("ok", false);
  json.key("list").beginArray().beginObject().endObject().value(std::vector<std::string>{"x", "y"}).endArray();
  EXPECT_EQ("{\"a\\\"b\":\"c\\\\d\\u000a\\u0001\",\"n\":42,\"ok\":false,\"list\":[{},[\"x\",\"y\"]]}",
            json.endObject().text());
}

TEST(OptionTable, ParsesAndWritesHelpFromOneTable) {
  std::string port;
  bool raw = false;
  const tools::OptionTable table = {
      {{"-p", "--port"}, "NAME", "the port\nto ask", [&](const std::string& v, std::string*) { port = v; return true; }},
      {{"--raw"}, "", "bytes", [&](const std::string&, std::string*) { return raw = true; }},
  };
  std::vector<std::string> positional;
  std::string error;
  ASSERT_TRUE(tools::parseOptions(table, {"status", "--port=USB002", "--raw", "x"}, &positional, &error)) << error;
  EXPECT_EQ("USB002", port);
  EXPECT_TRUE(raw);
  EXPECT_EQ((std::vector<std::string>{"status", "x"}), positional);
  EXPECT_EQ("  -p, --port NAME  the port\n                  to ask\n  --raw           bytes\n",
            tools::optionsHelp(table, 18));

  EXPECT_FALSE(tools::parseOptions(table, {"--what"}, &positional, &error));
  EXPECT_EQ("unknown option --what", error);
  EXPECT_FALSE(tools::parseOptions(table, {"-p"}, &positional, &error));
  EXPECT_EQ("option -p needs a value", error);
}

}  // namespace
