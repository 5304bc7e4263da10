#include "protocol/hex_number.h"

#include <gtest/gtest.h>

namespace {

struct HexCase {
  const char* text;
  bool read;
  uint32_t value;
};

class HexReading : public testing::TestWithParam<HexCase> {};

TEST_P(HexReading, ReadsByTheOneRule) {
  const HexCase& c = GetParam();
  uint32_t value = 0xDEADBEEF;  // Must stay untouched when nothing is read.
  EXPECT_EQ(ReadHexNumber(c.text, &value), c.read) << '"' << c.text << '"';
  EXPECT_EQ(value, c.read ? c.value : 0xDEADBEEFu) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(Digits, HexReading, testing::Values(
    HexCase{"0", true, 0},
    HexCase{"1234", true, 0x1234},
    HexCase{"abcdef", true, 0xABCDEF},
    HexCase{"ABCDEF", true, 0xABCDEF},
    HexCase{"aBcD", true, 0xABCD},
    HexCase{"378", true, 0x378},
    HexCase{"12zz", true, 0x12},
    HexCase{"378 abc", true, 0x378},
    HexCase{"12\r", true, 0x12},
    HexCase{"0000000000000012", true, 0x12}));

INSTANTIATE_TEST_SUITE_P(SignsAndPrefixes, HexReading, testing::Values(
    HexCase{"+1f", true, 0x1F},
    HexCase{"-1", true, 0xFFFFFFFF},
    HexCase{"-0", true, 0},
    HexCase{"0x12", true, 0x12},
    HexCase{"0X12", true, 0x12},
    HexCase{"-0x10", true, 0xFFFFFFF0},
    HexCase{"+0XfF", true, 0xFF},
    HexCase{"00x12", true, 0},   // Only a leading "0x" is a prefix.
    HexCase{"0x0x12", true, 0},  // One prefix; the second "x" ends the digits.
    HexCase{"x12", false, 0}));

INSTANTIATE_TEST_SUITE_P(WhiteSpace, HexReading, testing::Values(
    HexCase{" 12", true, 0x12},
    HexCase{"\t\n\v\f\r 78", true, 0x78},
    HexCase{"  -2", true, 0xFFFFFFFE},
    HexCase{"- 2", false, 0},  // The sign must be followed at once.
    HexCase{"0x 2", false, 0},
    HexCase{"+ 0x2", false, 0}));

INSTANTIATE_TEST_SUITE_P(Wrapping, HexReading, testing::Values(
    HexCase{"FFFFFFFF", true, 0xFFFFFFFF},
    HexCase{"100000000", true, 0},
    HexCase{"123456789", true, 0x23456789},
    HexCase{"12345", true, 0x12345},
    HexCase{"-FFFFFFFF", true, 1},
    HexCase{"-100000001", true, 0xFFFFFFFF}));

INSTANTIATE_TEST_SUITE_P(NoDigits, HexReading, testing::Values(
    HexCase{"", false, 0},
    HexCase{"   ", false, 0},
    HexCase{"zz", false, 0},
    HexCase{"0x", false, 0},
    HexCase{"0X", false, 0},
    HexCase{"0xzz", false, 0},
    HexCase{"xyz", false, 0},
    HexCase{"+", false, 0},
    HexCase{"-", false, 0},
    HexCase{"--1", false, 0},
    HexCase{"+-1", false, 0},
    HexCase{"-0x", false, 0},
    HexCase{"g", false, 0}));

}  // namespace
