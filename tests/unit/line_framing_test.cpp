#include "pipe/line_framing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct FramingCase {
  const char* name;
  std::string read;   // The bytes of one read (may hold NUL bytes).
  bool framed;        // Whether a line comes out.
  std::string line;   // The line, byte for byte, when one does.
};

void PrintTo(const FramingCase& c, std::ostream* os) { *os << c.name; }

class FrameRead : public testing::TestWithParam<FramingCase> {};

TEST_P(FrameRead, HandsOnAtMostTheFirstLine) {
  const FramingCase& c = GetParam();
  ASSERT_LE(c.read.size(), 18u) << "a read never holds more than 18 bytes";
  char line[kMaxLineLength + 1];
  std::memset(line, '#', sizeof line);

  const bool framed = FrameOneRead(reinterpret_cast<const unsigned char*>(c.read.data()),
                                   c.read.size(), line);

  ASSERT_EQ(framed, c.framed);
  if (!framed) return;
  // The line ends at the first zero byte after its last character; compare
  // by length so a NUL inside the line is checked too.
  EXPECT_EQ(std::string(line, c.line.size()), c.line);
  EXPECT_EQ(line[c.line.size()], '\0');
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(Lines, FrameRead, testing::Values(
    FramingCase{"OneCommand", ">5L1234\n", true, ">5L1234"},
    FramingCase{"TwoLinesOnlyFirst", ">5L1\n>5L2\n", true, ">5L1"},
    FramingCase{"BlanksBeforeLine", "   >5L1\n", true, ">5L1"},
    FramingCase{"StrayLineFeedBefore", "\n>5L1\n", true, ">5L1"},
    FramingCase{"CarriageReturnKept", ">5L1234\r\n", true, ">5L1234\r"},
    FramingCase{"EightCharacters", ">5L12345\n", true, ">5L12345"},
    FramingCase{"LoneMarker", ">\n", true, ">"},
    FramingCase{"NulInsideLine", ">5\0L1\n"s, true, ">5\0L1"s},
    FramingCase{"SecondMarkerInsideLine", ">5>L1\n", true, ">5>L1"},
    FramingCase{"EighteenBytes", "xxxxxxxxx>5L12345\n", true, ">5L12345"},
    FramingCase{"EightCharsAfterLongNoise", "0123456789>5L0000\n", true, ">5L0000"}),
    [](const testing::TestParamInfo<FramingCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Dropped, FrameRead, testing::Values(
    FramingCase{"NineCharacters", ">5L123456\n", false, ""},
    FramingCase{"NineCharsThenValidLine", ">5L123456\n>5L1\n", false, ""},
    FramingCase{"NoLineFeed", ">5L1234", false, ""},
    FramingCase{"LineFeedOnly", "\n", false, ""},
    FramingCase{"EmptyRead", "", false, ""},
    FramingCase{"NoMarker", "5L1234\n", false, ""},
    FramingCase{"EighteenBytesNoLineFeed", ">5L1234>5L1234>5L1", false, ""},
    FramingCase{"TailOfSplitLine", "34\n", false, ""}),
    [](const testing::TestParamInfo<FramingCase>& info) { return std::string(info.param.name); });

// Nothing of a line survives a read: the second half of a split line, read
// next, is not joined to the first.
TEST(FrameReads, SplitLineIsLost) {
  char line[kMaxLineLength + 1];
  const std::string first = ">5L1", second = "234\n";
  EXPECT_FALSE(FrameOneRead(reinterpret_cast<const unsigned char*>(first.data()), first.size(), line));
  EXPECT_FALSE(FrameOneRead(reinterpret_cast<const unsigned char*>(second.data()), second.size(), line));
}

}  // namespace
