// qxlm-ctl ports: none, one and several ports open, named in full and found in
// the listing of the pipe namespace.
#include <algorithm>

#include "ctl_command_line.h"
#include "ctl_listing.h"
#include "fleet_test_support.h"

namespace {

class FleetPorts : public FleetPortTest {
 protected:
  // Opens the three ports one after the other and asks `ports` (with args) with
  // none, one and all three of them open.
  void expectNoneOneAndSeveral(const std::vector<std::string>& args) {
    const std::vector<std::string> names = {portName("A"), portName("B"), portName("C")};
    std::vector<std::string> text = {"ports"}, json = {"ports", "--json"};
    text.insert(text.end(), args.begin(), args.end());
    json.insert(json.end(), args.begin(), args.end());

    const CtlRun none = ctlRun(text);
    EXPECT_EQ(ctl::EXIT_OK, none.exit) << none.err;
    EXPECT_EQ("no port open\n", none.out);
    EXPECT_EQ("[]\n", ctlRun(json).out);

    ASSERT_NE(nullptr, openReady(names[0], false));
    const CtlRun one = ctlRun(json);
    EXPECT_EQ(ctl::EXIT_OK, one.exit) << one.err;
    EXPECT_EQ(0u, one.out.find("[{\"port\":\"" + names[0] + "\",\"printer\":\"Pipe Test Printer\",\"answered\":true,"))
        << one.out;
    EXPECT_TRUE(contains(one.out, "\"conditions\":[\"no-status\"],\"printer-state\":\"stopped\"")) << one.out;
    EXPECT_EQ(1u, outputLines(one.out).size());

    ASSERT_NE(nullptr, openReady(names[1], false));
    ASSERT_NE(nullptr, openReady(names[2], false));
    const std::vector<std::string> rows = outputLines(ctlRun(text).out);
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ(0u, rows[0].find("PORT "));
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(0u, rows[i + 1].find(names[i] + "  Pipe Test Printer  stopped  -  ")) << rows[i + 1];
    }
  }
};

TEST_F(FleetPorts, NamedInFull) { expectNoneOneAndSeveral({portName("A"), portName("B"), "--port", portName("C")}); }

TEST_F(FleetPorts, FoundByPatternInTheListing) {
  std::vector<std::string> listed;
  DWORD error = 0;
  if (!ctl::listPortPipes(&listed, &error)) GTEST_SKIP() << "this system cannot list its pipes, error " << error;
  expectNoneOneAndSeveral({portName("*")});
}

}  // namespace
