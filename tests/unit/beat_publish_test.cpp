// lightbeat's bytes for other lighting programs: the options, OSC's
// encoding and paths, OS2L's beat message, and WLED's audio sync packet field by field.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/args_case.h"
#include "tools/beat_publish.h"
#include "tools/lightbeat_options.h"

namespace {

const auto kName = [](const auto& info) { return std::string(info.param.name); };

class PublishArgs : public testing::TestWithParam<ArgsCase> {};
TEST_P(PublishArgs, GiveTheOutcome) { ExpectParse(ParseLightbeatArguments, GetParam()); }

INSTANTIATE_TEST_SUITE_P(Options, PublishArgs, testing::Values(
    ArgsCase{"Osc", {"--osc", "127.0.0.1:9000"}, ParseOutcome::kRun, ""},
    ArgsCase{"OscName", {"--osc=qlc.local:7700"}, ParseOutcome::kRun, ""},
    ArgsCase{"OscNoPort", {"--osc", "127.0.0.1"}, ParseOutcome::kUsageError, "HOST:PORT"},
    ArgsCase{"OscPortZero", {"--osc", "h:0"}, ParseOutcome::kUsageError, "port"},
    ArgsCase{"OscPortHigh", {"--osc", "h:65536"}, ParseOutcome::kUsageError, "port"},
    ArgsCase{"OscNoHost", {"--osc", ":9000"}, ParseOutcome::kUsageError, "host"},
    ArgsCase{"OscMissing", {"--osc"}, ParseOutcome::kUsageError, "needs a value"},
    ArgsCase{"WledAlone", {"--wled-sync"}, ParseOutcome::kRun, ""},
    ArgsCase{"WledThenOption", {"--wled-sync", "--quiet"}, ParseOutcome::kRun, ""},
    ArgsCase{"WledAddress", {"--wled-sync", "192.168.1.255"}, ParseOutcome::kRun, ""},
    ArgsCase{"WledPort", {"--wled-sync=239.0.0.1:12000"}, ParseOutcome::kRun, ""},
    ArgsCase{"WledEmptyInline", {"--wled-sync="}, ParseOutcome::kUsageError, "address"},
    ArgsCase{"WledBadPort", {"--wled-sync", "h:x"}, ParseOutcome::kUsageError, "port"},
    ArgsCase{"WithReport", {"--file", "a", "--beats", "--osc", "h:1"}, ParseOutcome::kUsageError,
             "send nothing"},
    ArgsCase{"Os2lHost", {"--os2l", "qlc.local"}, ParseOutcome::kRun, ""},
    ArgsCase{"Os2lPort", {"--os2l=127.0.0.1:9000"}, ParseOutcome::kRun, ""},
    ArgsCase{"Os2lMissing", {"--os2l"}, ParseOutcome::kUsageError, "needs a value"},
    ArgsCase{"Os2lNoHost", {"--os2l", ":9996"}, ParseOutcome::kUsageError, "host"},
    ArgsCase{"Os2lBadPort", {"--os2l", "h:70000"}, ParseOutcome::kUsageError, "port"},
    ArgsCase{"Os2lWithReport", {"--file", "a", "--onsets", "--os2l", "h"}, ParseOutcome::kUsageError,
             "send nothing"}), kName);

TEST(PublishArgs, DefaultsAndValuesLand) {
  const struct {
    std::vector<std::string> args;
    std::string oscHost, wledHost;
    int oscPort, wledPort;
    std::string os2lHost = "";
    int os2lPort = 0;
  } cases[] = {
      {{}, "", "", 0, 0},
      {{"--wled-sync"}, "", "239.0.0.1", 0, 11988},
      {{"--wled-sync", "10.0.0.255", "--osc", "localhost:9000"}, "localhost", "10.0.0.255", 9000, 11988},
      {{"--wled-sync", "w:7"}, "", "w", 0, 7},
      {{"--os2l", "qlc"}, "", "", 0, 0, "qlc", 9996},
      {{"--os2l", "10.0.0.2:1234", "--osc", "o:1"}, "o", "", 1, 0, "10.0.0.2", 1234},
  };
  for (const auto& c : cases) {
    LightbeatOptions options;
    std::string error;
    ASSERT_EQ(ParseLightbeatArguments(c.args, &options, &error), ParseOutcome::kRun) << error;
    EXPECT_EQ(options.osc.host, c.oscHost);
    EXPECT_EQ(options.osc.port, c.oscPort);
    EXPECT_EQ(options.wledSync.host, c.wledHost);
    EXPECT_EQ(options.wledSync.port, c.wledPort);
    EXPECT_EQ(options.os2l.host, c.os2lHost);
    EXPECT_EQ(options.os2l.port, c.os2lPort);
  }
}

// --- OSC ----------------------------------------------------------------------

std::string Hex(const Datagram& d) {
  std::string out;
  char two[3];
  for (uint8_t b : d) {
    std::snprintf(two, sizeof two, "%02x", b);
    out += two;
  }
  return out;
}

TEST(Osc, StringsEndWithZerosToFourBytes) {
  const struct { const char* text; const char* hex; } cases[] = {
      {"", "00000000"},
      {"abc", "61626300"},
      {"abcd", "6162636400000000"},
      {",f", "2c660000"},
  };
  for (const auto& c : cases) {
    Datagram d;
    AppendOscString(&d, c.text);
    EXPECT_EQ(Hex(d), c.hex) << '"' << c.text << '"';
  }
}

TEST(Osc, MessagesAreBigEndian) {
  // The example message OSC 1.0's published format gives, byte for byte.
  EXPECT_EQ(Hex(OscMessage("/oscillator/4/frequency", 440.0f)),
            "2f6f7363696c6c61746f722f342f6672657175656e6379002c66000043dc0000");
  EXPECT_EQ(Hex(OscMessage("/a", int32_t(-2))), "2f6100002c690000fffffffe");
}

TEST(Osc, BundleHoldsSizedMessagesForNow) {
  const Datagram a = OscMessage("/a", int32_t(1)), b = OscMessage("/bc", 2.0f);
  const Datagram bundle = OscBundle({a, b});
  EXPECT_EQ(Hex(bundle), "2362756e646c6500" "0000000000000001" "0000000c" + Hex(a) + "0000000c" + Hex(b));
}

// Messages of a bundle as "path type value" strings.
std::vector<std::string> Unbundle(const Datagram& d) {
  std::vector<std::string> out;
  auto word = [&](size_t at) {
    return uint32_t(d[at]) << 24 | uint32_t(d[at + 1]) << 16 | uint32_t(d[at + 2]) << 8 | d[at + 3];
  };
  EXPECT_EQ(std::memcmp(d.data(), "#bundle", 8), 0);
  for (size_t at = 16; at < d.size();) {
    const size_t size = word(at), start = at + 4;
    const std::string path(reinterpret_cast<const char*>(&d[start]));
    const size_t types = start + (path.size() / 4 + 1) * 4;
    const char type = char(d[types + 1]);
    const uint32_t bits = word(types + 4);
    float f;
    std::memcpy(&f, &bits, 4);
    out.push_back(path + " " + type + " " +
                  (type == 'i' ? std::to_string(int32_t(bits)) : std::to_string(f)));
    at = start + size;
  }
  return out;
}

TEST(Osc, PackerSendsEventsAtOnceAndTheStateAtTheRate) {
  OscPacker packer(50);
  std::vector<Datagram> out;
  int states = 0, beats = 0, onsets = 0;
  std::vector<std::string> lastState;
  for (int step = 0; step < 400; ++step) {  // 2 s of 5 ms steps.
    music::Frame frame;
    frame.time = step * 0.005;
    frame.beat = step % 100 == 50;
    frame.onset = step % 100 == 49;
    frame.bpm = 120;
    frame.band[3] = 0.5f;
    frame.band[15] = 2;  // Clamped to 1.
    frame.levelDb[1] = -6;
    out.clear();
    packer.Pack(frame, 0x8001, &out);
    for (const Datagram& d : out) {
      const std::vector<std::string> messages = Unbundle(d);
      ASSERT_FALSE(messages.empty());
      if (messages[0].rfind("/lightbeat/beat ", 0) == 0) {
        ++beats;
        EXPECT_EQ(messages, (std::vector<std::string>{"/lightbeat/beat i " + std::to_string(beats),
                                                      "/lightbeat/tempo f 120.000000"}));
      } else if (messages[0].rfind("/lightbeat/onset ", 0) == 0) {
        ++onsets;
        EXPECT_EQ(messages, (std::vector<std::string>{"/lightbeat/onset i " + std::to_string(onsets)}));
      } else {
        ++states;
        lastState = messages;
      }
    }
  }
  EXPECT_EQ(beats, 4);
  EXPECT_EQ(onsets, 4);
  EXPECT_NEAR(states, 100, 1);  // 50 a second.
  ASSERT_EQ(lastState.size(), 18u);
  EXPECT_EQ(lastState[0], "/lightbeat/band/1 f 0.000000");
  EXPECT_EQ(lastState[3], "/lightbeat/band/4 f 0.500000");
  EXPECT_EQ(lastState[15], "/lightbeat/band/16 f 1.000000");
  EXPECT_EQ(lastState[16], "/lightbeat/level f -6.000000");
  EXPECT_EQ(lastState[17], "/lightbeat/lamps i 32769");
}

// --- OS2L -----------------------------------------------------------------------

std::string Text(const Datagram& d) { return std::string(d.begin(), d.end()); }

TEST(Os2l, BeatMessageIsOneJsonObjectWithItsRangesKept) {
  const struct {
    int32_t pos;
    float bpm, strength;
    const char* text;
  } cases[] = {
      {1, 120, 0.5f, R"({"evt":"beat","change":false,"pos":1,"bpm":120.00,"strength":0.50})"},
      {2147483647, 97.456f, 1, R"({"evt":"beat","change":false,"pos":2147483647,"bpm":97.46,"strength":1.00})"},
      {3, 0, 2, R"({"evt":"beat","change":false,"pos":3,"bpm":0.00,"strength":1.00})"},  // Clamped.
      {4, -5, -1, R"({"evt":"beat","change":false,"pos":4,"bpm":0.00,"strength":0.00})"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(Os2lPacker::BeatMessage(c.pos, c.bpm, c.strength)), c.text);
}

TEST(Os2l, PackerCountsBeatsAndTakesTheLoudestOfTheLastBeat) {
  // A click every 0.5 s at steps 0, 100, 200...; beats fired 20 ms before
  // each click (a lead), the first without one: the strength must still be
  // the click's, not the silence just before it.
  Os2lPacker packer;
  std::vector<Datagram> out;
  std::vector<std::string> seen;
  for (int step = 0; step < 400; ++step) {  // 2 s of 5 ms steps.
    music::Frame frame;
    frame.time = step * 0.005;
    frame.bpm = 120;
    const bool click = step % 100 == 0;
    frame.levelDb[0] = click ? -6 : -90;
    frame.beat = step == 0 || step % 100 == 96;
    out.clear();
    packer.Pack(frame, &out);
    ASSERT_EQ(out.size(), frame.beat ? 1u : 0u) << step;
    if (frame.beat) seen.push_back(Text(out[0]));
  }
  ASSERT_EQ(seen.size(), 5u);
  for (size_t i = 0; i < seen.size(); ++i)
    EXPECT_EQ(seen[i], R"({"evt":"beat","change":false,"pos":)" + std::to_string(i + 1) +
                           R"(,"bpm":120.00,"strength":0.90})");
}

// --- WLED audio sync ----------------------------------------------------------

float FloatAt(const Datagram& d, size_t at) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= uint32_t(d[at + i]) << (8 * i);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

TEST(WledSync, PacketsComeAtTheRateWithEveryField) {
  WledSyncPacker packer;
  std::vector<Datagram> packets;
  std::vector<double> times;
  const double step = 256.0 / 48000;
  std::vector<double> onsets;
  for (int i = 0; i < int(4 / step); ++i) {  // 4 s: loud with onsets, then silence.
    music::Frame frame;
    frame.time = i * step;
    frame.silent = frame.time >= 3;
    frame.levelDb[0] = frame.silent ? -90 : -12;
    frame.levelDb[1] = frame.silent ? -90 : -30;
    frame.onset = !frame.silent && i % 90 == 7;
    if (frame.onset) onsets.push_back(frame.time);
    frame.band[2] = frame.silent ? 0 : (i % 2 ? 0.25f : 0.75f);  // The highest between packets counts.
    const size_t before = packets.size();
    packer.Pack(frame, &packets);
    if (packets.size() > before) times.push_back(frame.time);
  }
  // About 45 a second, never two on one frame.
  EXPECT_NEAR(double(packets.size()) / 4, wled::kPacketsPerSecond, 1.5);
  ASSERT_EQ(times.size(), packets.size());
  for (size_t i = 0; i < packets.size(); ++i) {
    const Datagram& p = packets[i];
    ASSERT_EQ(p.size(), wled::kPacketSize);
    EXPECT_EQ(std::memcmp(&p[0], "00002\0", 6), 0);
    EXPECT_EQ(p[wled::kPressure] | p[wled::kPressure + 1], 0);
    EXPECT_EQ(p[wled::kFrameCounter], uint8_t(i));
    EXPECT_EQ(p[wled::kZeroCrossings] | p[wled::kZeroCrossings + 1], 0);
    const bool silent = times[i] >= 3;
    // The levels are the highest since the last packet: the first silent
    // packet still carries the last loud frames.
    if (silent && times[i - 1] < 3) continue;
    EXPECT_FLOAT_EQ(FloatAt(p, wled::kSampleRaw), silent ? 0 : WledSyncPacker::Loudness(-12)) << i;
    const float smooth = FloatAt(p, wled::kSampleSmooth);
    EXPECT_GE(smooth, 0);
    EXPECT_LE(smooth, 255);
    if (times[i] > 1 && times[i] < 3) { EXPECT_NEAR(smooth, WledSyncPacker::Loudness(-12), 1); }
    for (int b = 0; b < 16; ++b)
      EXPECT_EQ(p[wled::kFftResult + b], !silent && b == 2 ? 191 : 0) << "packet " << i << " band " << b;
    EXPECT_FLOAT_EQ(FloatAt(p, wled::kFftMagnitude), silent ? 0 : 0.75f * 255);
    EXPECT_FLOAT_EQ(FloatAt(p, wled::kFftMajorPeak), silent ? 1 : WledSyncPacker::BandCentreHz(2));
    // The peak: in the packets that follow an onset, not otherwise.
    size_t firstAfter = 0;
    bool held = false;
    for (double onset : onsets) {
      while (firstAfter < times.size() && times[firstAfter] < onset) ++firstAfter;
      held = held || (i >= firstAfter && i < firstAfter + wled::kPeakPackets);
    }
    EXPECT_EQ(p[wled::kSamplePeak], held ? 1 : 0) << "packet at " << times[i];
  }
  for (double onset : onsets) {
    size_t first = 0;
    while (first < times.size() && times[first] < onset) ++first;
    ASSERT_LT(first, times.size());
    EXPECT_EQ(packets[first][wled::kSamplePeak], 1) << "onset at " << onset;
    EXPECT_LE(times[first] - onset, 1 / wled::kPacketsPerSecond + step);
  }
}

TEST(WledSync, ScalesStayInWledsRanges) {
  const struct { float db, want; } levels[] = {{-120, 0}, {-60, 0}, {-30, 127.5f}, {0, 255}, {6, 255}};
  for (const auto& l : levels) EXPECT_FLOAT_EQ(WledSyncPacker::Loudness(l.db), l.want) << l.db;
  EXPECT_NEAR(WledSyncPacker::BandCentreHz(0), 48, 1);
  EXPECT_NEAR(WledSyncPacker::BandCentreHz(15), 13260, 30);
  for (int b = 1; b < 16; ++b) EXPECT_GT(WledSyncPacker::BandCentreHz(b), WledSyncPacker::BandCentreHz(b - 1));
}

}  // namespace
