// The end-of-page scanner against the printer's command layouts.
#include <gtest/gtest.h>

#include <vector>

#include "jobs/document.h"

namespace {

struct Scanner {
  INIPORT port{};
  BOOL scan(std::vector<BYTE> bytes) { return findEOP_PAPER(&port, bytes.data(), static_cast<DWORD>(bytes.size())); }
};

const BYTE ESC = 0x1B;

TEST(EopScanner, SkipsTheDataBytesOfEscD) {
  Scanner s;
  EXPECT_TRUE(s.scan({ESC, 'd', 3, 0, 'a', 'b', 'c', ESC, 'e'}));
  // The one data byte is the ESC, so the 'e' after it is plain data.
  Scanner t;
  EXPECT_FALSE(t.scan({ESC, 'd', 1, 0, ESC, 'e'}));
}

TEST(EopScanner, BlockSizesOfEachCommand) {
  // ESC d a b: a + 256 b bytes; ESC x a: 2a; ESC X a b: 2(8a + b); ESC L/Q/f: 2.
  std::vector<BYTE> data = {ESC, 'd', 1, 1};
  data.insert(data.end(), 257, ESC);
  data.insert(data.end(), {ESC, 'x', 2, ESC, 'e', ESC, 'e'});
  data.insert(data.end(), {ESC, 'X', 1, 1});
  data.insert(data.end(), 18, 'e');
  data.insert(data.end(), {ESC, 'L', ESC, 'e', ESC, 'Q', ESC, 'e', ESC, 'f', ESC, 'e'});
  Scanner s;
  EXPECT_FALSE(s.scan(data));
  EXPECT_EQ(s.port.doc.eopState, 0u);
  EXPECT_TRUE(s.scan({ESC, 'e'}));
}

TEST(EopScanner, StateCarriesAcrossWrites) {
  Scanner s;
  EXPECT_FALSE(s.scan({'x', ESC}));
  EXPECT_EQ(s.port.doc.eopState, 1u);
  EXPECT_TRUE(s.scan({'e'}));

  // A block split across three writes.
  Scanner t;
  EXPECT_FALSE(t.scan({ESC, 'd', 4}));
  EXPECT_FALSE(t.scan({0, ESC, 'e'}));
  EXPECT_TRUE(t.scan({ESC, 'e', ESC, 'e'}));
}

TEST(EopScanner, ZeroLengthBlocksEndAtOnce) {
  Scanner d;
  EXPECT_TRUE(d.scan({ESC, 'd', 0, 0, ESC, 'e'}));
  Scanner x;
  EXPECT_TRUE(x.scan({ESC, 'x', 0, ESC, 'e'}));
  Scanner big;
  EXPECT_TRUE(big.scan({ESC, 'X', 0, 0, ESC, 'e'}));
  EXPECT_EQ(big.port.doc.eopCount, 0u);
}

TEST(EopScanner, UnknownCommandsAndRepeatedPageEnds) {
  Scanner s;
  EXPECT_TRUE(s.scan({ESC, 'z', 'e', ESC, 'e', ESC, 'e'}));
  EXPECT_EQ(s.port.doc.eopState, 0u);
}

TEST(EopScanner, PortsKeepTheirOwnState) {
  Scanner a;
  Scanner b;
  EXPECT_FALSE(a.scan({ESC, 'd', 2, 0}));
  EXPECT_TRUE(b.scan({ESC, 'e'}));
  EXPECT_FALSE(a.scan({ESC, 'e'}));
  EXPECT_TRUE(a.scan({ESC, 'e'}));
}

}  // namespace
