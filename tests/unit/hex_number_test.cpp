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

const HexCase kDigits[] = {
    {"0", true, 0}, {"1234", true, 0x1234}, {"abcdef", true, 0xABCDEF}, {"ABCDEF", true, 0xABCDEF},
    {"aBcD", true, 0xABCD}, {"378", true, 0x378}, {"12zz", true, 0x12}, {"378 abc", true, 0x378},
    {"12\r", true, 0x12}, {"0000000000000012", true, 0x12}};
INSTANTIATE_TEST_SUITE_P(Digits, HexReading, testing::ValuesIn(kDigits));

const HexCase kSignsAndPrefixes[] = {
    {"+1f", true, 0x1F}, {"-1", true, 0xFFFFFFFF}, {"-0", true, 0}, {"0x12", true, 0x12},
    {"0X12", true, 0x12}, {"-0x10", true, 0xFFFFFFF0}, {"+0XfF", true, 0xFF},
    {"00x12", true, 0},   // Only a leading "0x" is a prefix.
    {"0x0x12", true, 0},  // One prefix; the second "x" ends the digits.
    {"x12", false, 0}};
INSTANTIATE_TEST_SUITE_P(SignsAndPrefixes, HexReading, testing::ValuesIn(kSignsAndPrefixes));

const HexCase kWhiteSpace[] = {
    {" 12", true, 0x12}, {"\t\n\v\f\r 78", true, 0x78}, {"  -2", true, 0xFFFFFFFE},
    {"- 2", false, 0},  // The sign must be followed at once.
    {"0x 2", false, 0}, {"+ 0x2", false, 0}};
INSTANTIATE_TEST_SUITE_P(WhiteSpace, HexReading, testing::ValuesIn(kWhiteSpace));

const HexCase kWrapping[] = {
    {"FFFFFFFF", true, 0xFFFFFFFF}, {"100000000", true, 0}, {"123456789", true, 0x23456789},
    {"12345", true, 0x12345}, {"-FFFFFFFF", true, 1}, {"-100000001", true, 0xFFFFFFFF}};
INSTANTIATE_TEST_SUITE_P(Wrapping, HexReading, testing::ValuesIn(kWrapping));

const HexCase kNoDigits[] = {
    {"", false, 0}, {"   ", false, 0}, {"zz", false, 0}, {"0x", false, 0}, {"0X", false, 0},
    {"0xzz", false, 0}, {"xyz", false, 0}, {"+", false, 0}, {"-", false, 0}, {"--1", false, 0},
    {"+-1", false, 0}, {"-0x", false, 0}, {"g", false, 0}};
INSTANTIATE_TEST_SUITE_P(NoDigits, HexReading, testing::ValuesIn(kNoDigits));

}  // namespace
