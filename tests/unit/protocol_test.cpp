#include <gtest/gtest.h>

#include <string>

#include "protocol/light_line.h"

namespace {

struct FormatCase {
  int mode;
  LampBits bits;
  const char* line;
};

class LightLineFormat : public testing::TestWithParam<FormatCase> {};

// What a client writes, and that the server reads back the same command.
TEST_P(LightLineFormat, IsPaddedUpperCaseHexAndReadsBack) {
  const FormatCase& c = GetParam();
  char line[kMaxLineLength + 1];
  EXPECT_EQ(FormatLightLine(c.mode, c.bits, line), std::string(c.line).size());
  EXPECT_STREQ(line, c.line);
  LightCommand command{0, 0};
  ASSERT_TRUE(ParseLightLine(line, &command)) << line;
  EXPECT_EQ(command.banks, c.mode == 3 ? 1 : 2);
  EXPECT_EQ(command.value, c.bits);
}

INSTANTIATE_TEST_SUITE_P(Lines, LightLineFormat, testing::Values(
    FormatCase{5, 0x0000, ">5L0000"}, FormatCase{5, 0x1234, ">5L1234"},
    FormatCase{5, 0xABCD, ">5LABCD"}, FormatCase{5, 0x0001, ">5L0001"},
    FormatCase{3, 0x00FF, ">3L00FF"}, FormatCase{7, 0x8001, ">5L8001"}));

}  // namespace
