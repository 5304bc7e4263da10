#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/args_case.h"
#include "tools/lightbeat_options.h"
#include "tools/lightbeat_status.h"
#include "audio/pcm_convert.h"
#include "audio/wav_reader.h"

namespace {

const auto kName = [](const auto& info) { return std::string(info.param.name); };

// --- The command line -------------------------------------------------------

class LightbeatArgs : public testing::TestWithParam<ArgsCase> {};

TEST_P(LightbeatArgs, GiveTheOutcome) { ExpectParse(ParseLightbeatArguments, GetParam()); }

INSTANTIATE_TEST_SUITE_P(Accepted, LightbeatArgs, testing::Values(
    ArgsCase{"Nothing", {}, ParseOutcome::kRun, ""},
    ArgsCase{"Source", {"--source", "alsa_input.usb"}, ParseOutcome::kRun, ""},
    ArgsCase{"ListSources", {"--list-sources"}, ParseOutcome::kRun, ""},
    ArgsCase{"FileRealtime", {"--file", "a.wav", "--realtime"}, ParseOutcome::kRun, ""},
    ArgsCase{"Onsets", {"--onsets", "--file", "a.ogg"}, ParseOutcome::kRun, ""},
    ArgsCase{"AllTuning", {"--style", "pulse", "--hold", "0", "--delay", "5000", "--rate", "1",
                           "--mode", "3", "--quiet"}, ParseOutcome::kRun, ""},
    ArgsCase{"InlineValue", {"--rate=25.5", "--style=beat"}, ParseOutcome::kRun, ""},
    ArgsCase{"HelpWins", {"--bogus", "-h"}, ParseOutcome::kUsageError, "--bogus"},
    ArgsCase{"Help", {"--style", "meter", "--help"}, ParseOutcome::kHelp, ""},
    ArgsCase{"Version", {"--version"}, ParseOutcome::kVersion, ""},
    ArgsCase{"VersionWithOptions", {"--style", "beat", "--version"}, ParseOutcome::kVersion, ""}),
    kName);

INSTANTIATE_TEST_SUITE_P(Refused, LightbeatArgs, testing::Values(
    ArgsCase{"Unknown", {"--colour"}, ParseOutcome::kUsageError, "unknown option --colour"},
    ArgsCase{"Stray", {"song.wav"}, ParseOutcome::kUsageError, "--file"},
    ArgsCase{"NoValue", {"--rate"}, ParseOutcome::kUsageError, "needs a value"},
    ArgsCase{"RateZero", {"--rate", "0"}, ParseOutcome::kUsageError, "--rate"},
    ArgsCase{"RateText", {"--rate", "fast"}, ParseOutcome::kUsageError, "--rate"},
    ArgsCase{"RateInfinite", {"--rate", "inf"}, ParseOutcome::kUsageError, "--rate"},
    ArgsCase{"ModeFour", {"--mode", "4"}, ParseOutcome::kUsageError, "--mode"},
    ArgsCase{"DelayNegative", {"--delay", "-1"}, ParseOutcome::kUsageError, "--delay"},
    ArgsCase{"DelayFraction", {"--delay", "1.5"}, ParseOutcome::kUsageError, "--delay"},
    ArgsCase{"HoldTooLong", {"--hold", "2001"}, ParseOutcome::kUsageError, "--hold"},
    ArgsCase{"BadStyle", {"--style", "disco"}, ParseOutcome::kUsageError, "disco"},
    ArgsCase{"FlagWithValue", {"--quiet=yes"}, ParseOutcome::kUsageError, "takes no value"},
    ArgsCase{"ReportWithoutFile", {"--beats"}, ParseOutcome::kUsageError, "need --file"},
    ArgsCase{"TwoReports", {"--file", "a", "--beats", "--lines"}, ParseOutcome::kUsageError,
             "exclude"},
    ArgsCase{"RealtimeLive", {"--realtime"}, ParseOutcome::kUsageError, "needs --file"},
    ArgsCase{"SourceAndFile", {"--source", "x", "--file", "a"}, ParseOutcome::kUsageError,
             "exclude"},
    ArgsCase{"ListWithFile", {"--list-sources", "--file", "a"}, ParseOutcome::kUsageError,
             "alone"}), kName);

TEST(LightbeatArgsValues, AreKept) {
  LightbeatOptions options;
  std::string error;
  ASSERT_EQ(ParseLightbeatArguments({"--file", "x.flac", "--lines", "--mode", "3", "--rate=20",
                                     "--delay", "120", "--style", "bass", "--hold", "80"},
                                    &options, &error),
            ParseOutcome::kRun);
  EXPECT_EQ(options.file, "x.flac");
  EXPECT_EQ(options.report, LightbeatReport::kLines);
  EXPECT_EQ(options.mode, 3);
  EXPECT_EQ(options.rate, 20);
  EXPECT_EQ(options.delayMs, 120);
  EXPECT_EQ(options.style, music::Style::kBass);
  EXPECT_EQ(options.holdMs, 80);
}

// Beats fire early by the measured delays unless told otherwise: at the
// lamp --lead 0 was 11.6 to 12.7 ms late, auto within 2.3 ms.
TEST(LightbeatArgsValues, LeadIsAutoUnlessGiven) {
  struct Case {
    std::vector<std::string> args;
    int leadMs;  // -1: auto.
  };
  for (const Case& c : {Case{{}, -1}, Case{{"--lead", "auto"}, -1}, Case{{"--lead", "0"}, 0},
                        Case{{"--lead=25"}, 25}}) {
    LightbeatOptions options;
    std::string error;
    ASSERT_EQ(ParseLightbeatArguments(c.args, &options, &error), ParseOutcome::kRun) << error;
    EXPECT_EQ(options.leadMs, c.leadMs) << testing::PrintToString(c.args);
  }
}

// --- Samples and WAV files --------------------------------------------------

struct PcmCase {
  const char* name;
  PcmLayout layout;
  std::vector<unsigned char> bytes;  // One frame.
  std::vector<float> samples;
};

void PrintTo(const PcmCase& c, std::ostream* os) { *os << c.name; }

class LightbeatPcm : public testing::TestWithParam<PcmCase> {};

TEST_P(LightbeatPcm, ConvertsToFloats) {
  const PcmCase& c = GetParam();
  ASSERT_TRUE(PcmLayoutSupported(c.layout));
  std::vector<float> out;
  ConvertToFloat(c.bytes.data(), 1, c.layout, &out);
  ASSERT_EQ(out.size(), c.samples.size());
  for (size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i], c.samples[i], 1e-6) << i;
}

INSTANTIATE_TEST_SUITE_P(Layouts, LightbeatPcm, testing::Values(
    PcmCase{"Int16Stereo", {2, 2, 16, false}, {0x00, 0x40, 0x00, 0x80}, {0.5f, -1.0f}},
    PcmCase{"Uint8Mono", {1, 1, 8, false}, {0xC0}, {0.5f}},
    PcmCase{"Int24", {1, 3, 24, false}, {0x00, 0x00, 0xC0}, {-0.5f}},
    PcmCase{"Int24In32", {1, 4, 24, false}, {0xFF, 0x00, 0x00, 0x40}, {0.5f}},
    PcmCase{"Float32", {1, 4, 32, true}, {0x00, 0x00, 0x00, 0x3F}, {0.5f}},
    PcmCase{"Float32Clipped", {1, 4, 32, true}, {0x00, 0x00, 0x00, 0x40}, {1.0f}},
    PcmCase{"Float64", {1, 8, 64, true}, {0, 0, 0, 0, 0, 0, 0xE0, 0xBF}, {-0.5f}},
    PcmCase{"SurroundKeepsFrontPair", {3, 2, 16, false}, {0x00, 0x20, 0x00, 0xE0, 0xFF, 0x7F},
            {0.25f, -0.25f}}), kName);

// A WAV file in memory: the RIFF header, the given fmt body, then data.
std::vector<unsigned char> Wav(std::vector<unsigned char> fmt, std::vector<unsigned char> data,
                               bool withData = true) {
  auto le32 = [](std::vector<unsigned char>* v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v->push_back((x >> (8 * i)) & 0xFF);
  };
  std::vector<unsigned char> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  file.insert(file.end(), {'L', 'I', 'S', 'T', 2, 0, 0, 0, 'x', 'y'});  // Skipped.
  file.insert(file.end(), {'f', 'm', 't', ' '});
  le32(&file, uint32_t(fmt.size()));
  file.insert(file.end(), fmt.begin(), fmt.end());
  if (withData) {
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    le32(&file, uint32_t(data.size()));
    file.insert(file.end(), data.begin(), data.end());
  }
  return file;
}

// The fmt body of a plain WAV file.
std::vector<unsigned char> Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                               uint16_t block) {
  return {uint8_t(tag), uint8_t(tag >> 8), uint8_t(channels), 0, uint8_t(rate),
          uint8_t(rate >> 8), uint8_t(rate >> 16), 0, 0, 0, 0, 0, uint8_t(block), 0,
          uint8_t(bits), 0};
}

std::FILE* FileWith(const std::vector<unsigned char>& bytes) {
  std::FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  return file;
}

TEST(LightbeatWav, ReadsPcmAfterOtherChunks) {
  WavReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(FileWith(Wav(Fmt(1, 2, 44100, 16, 4),
                                       {0x00, 0x40, 0x00, 0xC0, 0xFF, 0x7F, 0x00, 0x00})),
                          &error)) << error;
  EXPECT_EQ(reader.sampleRate(), 44100);
  std::vector<float> samples;
  EXPECT_EQ(reader.Read(10, &samples), 2u);
  ASSERT_EQ(samples.size(), 4u);
  EXPECT_FLOAT_EQ(samples[0], 0.5f);
  EXPECT_FLOAT_EQ(samples[1], -0.5f);
  EXPECT_EQ(reader.Read(10, &samples), 0u);
}

TEST(LightbeatWav, ReadsExtensibleFloat) {
  std::vector<unsigned char> fmt = Fmt(0xFFFE, 1, 48000, 32, 4);
  fmt.insert(fmt.end(), {22, 0, 32, 0, 4, 0, 0, 0, 3, 0});  // cbSize, valid bits, mask, GUID...
  fmt.resize(40, 0);
  WavReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(FileWith(Wav(fmt, {0x00, 0x00, 0x80, 0xBE})), &error)) << error;
  std::vector<float> samples;
  ASSERT_EQ(reader.Read(4, &samples), 1u);
  EXPECT_FLOAT_EQ(samples[0], -0.25f);
}

struct WavRefusal {
  const char* name;
  std::vector<unsigned char> file;
  const char* errorHas;
};

void PrintTo(const WavRefusal& c, std::ostream* os) { *os << c.name; }

class LightbeatWavRefused : public testing::TestWithParam<WavRefusal> {};

TEST_P(LightbeatWavRefused, SaysWhy) {
  WavReader reader;
  std::string error;
  EXPECT_FALSE(reader.Open(FileWith(GetParam().file), &error));
  EXPECT_NE(error.find(GetParam().errorHas), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Files, LightbeatWavRefused, testing::Values(
    WavRefusal{"NotRiff", {'O', 'g', 'g', 'S', 0, 0, 0, 0, 0, 0, 0, 0}, "not a WAV"},
    WavRefusal{"Adpcm", Wav(Fmt(2, 1, 8000, 4, 1), {}), "not supported"},
    WavRefusal{"BlockMismatch", Wav(Fmt(1, 2, 8000, 16, 2), {}), "block size"},
    WavRefusal{"NoData", Wav(Fmt(1, 1, 8000, 16, 2), {}, false), "no data"}), kName);

// --- The status line --------------------------------------------------------

TEST(LightbeatStatus, ShowsLeftmostLampFirstAndTheFigures) {
  EXPECT_EQ(FormatStatusLine(0x0180, -12.34f, 120.0f, 7, false),
            "O....... .......O   -12.3 dBFS  120.0 BPM  7 lines");
  EXPECT_EQ(FormatStatusLine(0, -120, 0, 0, false),
            "........ ........    -inf dBFS    --- BPM  0 lines");
}

}  // namespace
