#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "protocol/light_line.h"
#include "protocol/option_number.h"
#include "protocol/short_text.h"

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

// --- The option-number reader ----------------------------------------------

// Decimal texts within range read as the C library's strtod reads them.
TEST(OptionNumber, ReadsDecimalsAsStrtodDoes) {
  for (const char* text : {"0", "-0", "+5", "2.5", ".5", "5.", "0.1", "0.001", "1e3", "1E+3",
                           "12.5e-1", " 7", "999.999", "123456789012345", "0.000001e6", "1e-400",
                           "00000000000000000000000000012", "1234567890123456789012e-20"}) {
    double value = -42;
    ShortText error;
    ASSERT_TRUE(ReadOptionNumber("--x", text, "a number", {-1e300, 1e300}, &value, &error))
        << text << ": " << error.c_str();
    EXPECT_EQ(value, std::strtod(text, nullptr)) << text;
  }
}

struct RefusalCase {
  const char* text;
  OptionRange range;
  const char* why;  // The error's end.
};

class OptionRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(OptionRefusal, SaysWhy) {
  const RefusalCase& c = GetParam();
  double value = -42;
  ShortText error;
  EXPECT_FALSE(ReadOptionNumber("--x", c.text, "a number", c.range, &value, &error));
  EXPECT_EQ(value, -42);
  const std::string text = error.c_str();
  ASSERT_GE(text.size(), std::string(c.why).size()) << text;
  EXPECT_EQ(text.substr(text.size() - std::string(c.why).size()), c.why);
}

const RefusalCase kRefusals[] = {
    {"", {0, 10}, "\"\" is not a number"}, {"nan", {0, 10}, "\"nan\" is not a number"},
    {"NaN(1)", {0, 10}, "is not a number"}, {"-inf", {0, 10}, "\"-inf\" is not a finite number"},
    {"Infinity", {0, 10}, "is not a finite number"}, {"1e400", {0, 10}, "is not a finite number"},
    {"0x10", {0, 100}, "is not a number"}, {"1e", {0, 10}, "is not a number"},
    {"5 ", {0, 10}, "is not a number"}, {"1.2.3", {0, 10}, "is not a number"},
    {"-", {0, 10}, "is not a number"},
    {"2.5", {0, 10, true, true}, "0 to 10; \"2.5\" is not a whole number"},
    {"0", {0, 1000, false}, "above 0 and at most 1000; \"0\" is out of range"},
    {"10.5", {-2.5, 10.25}, "-2.5 to 10.25; \"10.5\" is out of range"},
    {"-3", {-2.5, 1e7}, "-2.5 to 10000000; \"-3\" is out of range"},
    {"12345678901234567890123456789012345678901234567890", {0, 0.125},
     "0 to 0.125; \"1234567890123456789012345678901234567890...\" is out of range"}};
INSTANTIATE_TEST_SUITE_P(Texts, OptionRefusal, testing::ValuesIn(kRefusals));

}  // namespace

// --- A short text into a caller's buffer -----------------------------------

// Cut to the buffer with its zero, nothing written past it; a buffer of
// no bytes untouched.
TEST(ShortTextCopy, CutsToTheBuffer) {
  ShortText text;
  text.Add("lamps 0-15");
  const struct {
    size_t size;
    const char* buffer;  // All 15 bytes afterwards.
  } cases[] = {{16, "lamps 0-15\0####"}, {11, "lamps 0-15\0####"}, {10, "lamps 0-1\0#####"},
               {2, "l\0#############"},  {1, "\0##############"},  {0, "###############"}};
  for (const auto& c : cases) {
    char buffer[16] = "###############";
    text.CopyTo(buffer, c.size);
    EXPECT_EQ(std::string(buffer, 15), std::string(c.buffer, 15)) << c.size;
  }
}
