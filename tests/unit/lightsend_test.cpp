#include <gtest/gtest.h>

#include <bitset>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/support/args_case.h"
#include "res/version.h"
#include "tools/lightsend_options.h"
#include "tools/lightsend_patterns.h"

namespace {

// --- The command line -------------------------------------------------------

class LightsendArgs : public testing::TestWithParam<ArgsCase> {};

TEST_P(LightsendArgs, GiveTheOutcome) { ExpectParse(ParseLightsendArguments, GetParam()); }

const auto kName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(Accepted, LightsendArgs, testing::Values(
    ArgsCase{"OneLine", {">5L1234"}, ParseOutcome::kRun},
    ArgsCase{"TwoLines", {">5L1234", ">5L0"}, ParseOutcome::kRun},
    ArgsCase{"EightCharacters", {">5L12345"}, ParseOutcome::kRun},
    ArgsCase{"LoneMarker", {">"}, ParseOutcome::kRun},
    ArgsCase{"Stdin", {"-"}, ParseOutcome::kRun},
    ArgsCase{"DelayedLines", {"--delay", "100", ">5L1", ">5L2"}, ParseOutcome::kRun},
    ArgsCase{"Pattern", {"--pattern", "chaser"}, ParseOutcome::kRun},
    ArgsCase{"PatternBounce", {"--pattern", "bounce"}, ParseOutcome::kRun},
    ArgsCase{"PatternCounter", {"--pattern", "counter"}, ParseOutcome::kRun},
    ArgsCase{"PatternRandom", {"--pattern", "random"}, ParseOutcome::kRun},
    ArgsCase{"PatternInFull",
             {"--pattern", "blink", "--rate", "2.5", "--seconds", "3", "--mode", "3"},
             ParseOutcome::kRun},
    ArgsCase{"Help", {"--help"}, ParseOutcome::kHelp},
    ArgsCase{"HelpWins", {">5L1", "-h"}, ParseOutcome::kHelp},
    ArgsCase{"Version", {"--version"}, ParseOutcome::kVersion},
    ArgsCase{"VersionWithLines", {">5L1", "--version"}, ParseOutcome::kVersion},
    ArgsCase{"VersionBeforeAnError", {"--version", "--rate", "nan"}, ParseOutcome::kVersion}),
    kName);

// The numbers that would reach the pattern's timing: each refused with why.
INSTANTIATE_TEST_SUITE_P(RefusedNumbers, LightsendArgs, testing::Values(
    ArgsCase{"RateNan", {"--pattern", "chaser", "--rate", "nan"}, ParseOutcome::kUsageError,
             "\"nan\" is not a number"},
    ArgsCase{"RateInf", {"--pattern", "chaser", "--rate", "inf"}, ParseOutcome::kUsageError,
             "\"inf\" is not a finite number"},
    ArgsCase{"RateZero", {"--pattern", "chaser", "--rate", "0"}, ParseOutcome::kUsageError,
             "above 0 and at most 1000; \"0\" is out of range"},
    ArgsCase{"SecondsNan", {"--pattern", "chaser", "--seconds", "nan"}, ParseOutcome::kUsageError,
             "--seconds takes"},
    ArgsCase{"SecondsNegative", {"--pattern", "chaser", "--seconds", "-1"},
             ParseOutcome::kUsageError, "\"-1\" is out of range"},
    ArgsCase{"RateHexadecimal", {"--pattern", "chaser", "--rate", "0x10"},
             ParseOutcome::kUsageError, "is not a number"},
    ArgsCase{"DelayFraction", {"--delay", "1.5", ">5L1"}, ParseOutcome::kUsageError,
             "is not a whole number"},
    ArgsCase{"ModeFour", {"--pattern", "chaser", "--mode", "4"}, ParseOutcome::kUsageError,
             "not \"4\""}), kName);

INSTANTIATE_TEST_SUITE_P(Refused, LightsendArgs, testing::Values(
    ArgsCase{"Nothing", {}, ParseOutcome::kUsageError},
    ArgsCase{"NineCharacters", {">5L123456"}, ParseOutcome::kUsageError},
    ArgsCase{"NoMarker", {"5L1234"}, ParseOutcome::kUsageError},
    ArgsCase{"EmptyLine", {""}, ParseOutcome::kUsageError},
    ArgsCase{"LineFeedInside", {">5L1\n>5L2"}, ParseOutcome::kUsageError},
    ArgsCase{"GoodThenBad", {">5L1", ">5L123456"}, ParseOutcome::kUsageError},
    ArgsCase{"UnknownOption", {"--colour", "red"}, ParseOutcome::kUsageError},
    ArgsCase{"UnknownPattern", {"--pattern", "disco"}, ParseOutcome::kUsageError,
             "unknown pattern disco"},
    ArgsCase{"EmptyPattern", {"--pattern", ""}, ParseOutcome::kUsageError, "unknown pattern"},
    ArgsCase{"MissingValue", {"--pattern"}, ParseOutcome::kUsageError},
    ArgsCase{"RateNotNumber", {"--pattern", "chaser", "--rate", "fast"},
             ParseOutcome::kUsageError},
    ArgsCase{"NegativeDelay", {"--delay", "-5", ">5L1"}, ParseOutcome::kUsageError},
    ArgsCase{"LinesAndPattern", {">5L1", "--pattern", "chaser"}, ParseOutcome::kUsageError},
    ArgsCase{"LinesAndStdin", {">5L1", "-"}, ParseOutcome::kUsageError},
    ArgsCase{"ModeWithoutPattern", {"--mode", "3", ">5L1"}, ParseOutcome::kUsageError},
    ArgsCase{"ErrorBeforeVersion", {"--colour", "--version"}, ParseOutcome::kUsageError},
    ArgsCase{"VersionIsNotALine", {"-version"}, ParseOutcome::kUsageError}),
    kName);

// --version of both clients: the version res/version.h states, as the
// packages name it (three numbers), and the licence.
TEST(ToolVersion, IsTheTreesVersionAndLicence) {
  const std::string version = std::to_string(VERSION_MAJOR) + "." + std::to_string(VERSION_MINOR) +
                              "." + std::to_string(VERSION_PATCH);
  for (const std::string program : {"lightsend", "lightbeat"}) {
    testing::internal::CaptureStdout();
    const int code = AnswerParse(ParseOutcome::kVersion, program.c_str(), "help", "");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out, program + " " + version + " (Pipe Server Vantrelle)\nMIT licence\n");
  }
}

// What main would give the parser.
template <size_t N>
ParseOutcome Parse(const char* const (&args)[N], LightsendOptions* options) {
  ShortText error;
  return ParseLightsendArguments(int(N), args, options, &error);
}

TEST(LightsendOptions, DefaultsAndValuesAreKept) {
  LightsendOptions options;
  ASSERT_EQ(Parse({"--pattern", "bounce", "--rate", "5", "--mode", "3"}, &options),
            ParseOutcome::kRun);
  EXPECT_STREQ(options.pattern, "bounce");
  EXPECT_EQ(options.rate, 5);
  EXPECT_EQ(options.mode, 3);
  EXPECT_LT(options.seconds, 0);  // Until interrupted.

  LightsendOptions lines;
  ASSERT_EQ(Parse({"--delay", "0", ">5L1", ">"}, &lines), ParseOutcome::kRun);
  ASSERT_EQ(lines.lines.size(), 2u);
  EXPECT_STREQ(lines.lines[0], ">5L1");
  EXPECT_EQ(lines.lines.Length(0), 4u);
  EXPECT_STREQ(lines.lines[1], ">");
  EXPECT_EQ(lines.delayMs, 0);
  EXPECT_EQ(lines.mode, 5);
  EXPECT_FALSE(lines.fromStdin);
}

// --- Lines from standard input -----------------------------------------------

struct StripCase {
  std::string in, out;
};

class StdinLine : public testing::TestWithParam<StripCase> {};

TEST_P(StdinLine, LosesItsLineEnd) {
  std::string line = GetParam().in;
  line.resize(StripLineEnd(&line[0], line.size()));
  EXPECT_EQ(line, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Ends, StdinLine, testing::Values(
    StripCase{">5L1\r\n", ">5L1"}, StripCase{">5L1\n", ">5L1"}, StripCase{">5L1\r", ">5L1"},
    StripCase{">5L1", ">5L1"}, StripCase{">5L1\r\r", ">5L1\r"}, StripCase{"", ""}));

// --- Patterns ------------------------------------------------------------------

std::string PatternLine(const char* name, int mode, unsigned long step) {
  char line[kMaxLineLength + 1];
  const size_t length = ::PatternLine(name, mode, step, line);
  EXPECT_EQ(length, std::strlen(line));
  return line;
}

// The lamp value of a pattern line, after checking its command prefix.
unsigned long ValueOf(const std::string& line, int mode) {
  EXPECT_EQ(line.substr(0, 3), mode == 3 ? ">3L" : ">5L") << line;
  EXPECT_EQ(LineProblem(line.c_str(), line.size()), nullptr) << line;
  return std::strtoul(line.c_str() + 3, nullptr, 16);
}

struct ModeCase {
  const char* name;
  int mode;
  unsigned lamps;
};

class Pattern : public testing::TestWithParam<ModeCase> {};

TEST_P(Pattern, ChaserLightsExactlyOneLampWalking) {
  const ModeCase m = GetParam();
  for (unsigned step = 0; step < 3 * m.lamps; ++step)
    EXPECT_EQ(ValueOf(PatternLine("chaser", m.mode, step), m.mode), 1ul << (step % m.lamps))
        << "step " << step;
}

TEST_P(Pattern, BounceGoesThereAndBack) {
  const ModeCase m = GetParam();
  std::vector<unsigned long> positions;
  for (unsigned step = 0; step < 2 * (m.lamps - 1) + 1; ++step) {
    const unsigned long value = ValueOf(PatternLine("bounce", m.mode, step), m.mode);
    ASSERT_EQ(std::bitset<32>(value).count(), 1u) << "step " << step;
    positions.push_back(value);
  }
  EXPECT_EQ(positions.front(), 1ul);
  EXPECT_EQ(positions[m.lamps - 1], 1ul << (m.lamps - 1));  // The far end...
  EXPECT_EQ(positions[m.lamps], 1ul << (m.lamps - 2));      // ...and back.
  EXPECT_EQ(positions.back(), 1ul);                         // Then again.
}

// The counter counts and wraps; blink switches all lamps on and off.
TEST_P(Pattern, CounterAndBlinkStepByStep) {
  const ModeCase m = GetParam();
  const unsigned long all = (1ul << m.lamps) - 1;
  const struct {
    const char* pattern;
    unsigned long step, value;
  } steps[] = {{"counter", 0, 0}, {"counter", 5, 5}, {"counter", all, all}, {"counter", all + 1, 0},
               {"blink", 0, all}, {"blink", 1, 0}, {"blink", 2, all}};
  for (const auto& s : steps)
    EXPECT_EQ(ValueOf(PatternLine(s.pattern, m.mode, s.step), m.mode), s.value)
        << s.pattern << " step " << s.step;
}

TEST_P(Pattern, RandomStaysInItsLampsVariesAndRepeats) {
  const ModeCase m = GetParam();
  std::set<unsigned long> seen;
  for (unsigned step = 0; step < 64; ++step) {
    const std::string line = PatternLine("random", m.mode, step);
    EXPECT_EQ(line, PatternLine("random", m.mode, step));  // The same run twice.
    const unsigned long value = ValueOf(line, m.mode);
    EXPECT_LT(value, 1ul << m.lamps);
    seen.insert(value);
  }
  EXPECT_GT(seen.size(), 32u);  // Not stuck on a few values.
}

const ModeCase kModes[] = {{"TwoBanks", 5, 16}, {"OneBank", 3, 8}};
INSTANTIATE_TEST_SUITE_P(Modes, Pattern, testing::ValuesIn(kModes), kName);

}  // namespace
