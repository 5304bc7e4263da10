// The plug-in's platform-free part: its lamps, stop and pause through the
// clients' schedule, the settings' texts, and the player's data through the
// analysis.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "plugin/lamp_feed.h"
#include "plugin/plugin_settings.h"

namespace plugin {
namespace {

// One scripted call on a schedule and what it must give.
struct Op {
  enum Kind { kPush, kStop, kNext } kind;
  int64_t time;
  unsigned bits = 0;     // kPush: the lamps; kNext: the line expected.
  bool write = false;    // kNext: a line expected.
};

Op Push(int64_t t, unsigned bits) { return {Op::kPush, t, bits}; }
Op Stop(int64_t t) { return {Op::kStop, t, 0}; }
Op Writes(int64_t t, unsigned bits) { return {Op::kNext, t, bits, true}; }
Op Quiet(int64_t t) { return {Op::kNext, t, 0, false}; }

struct Script {
  const char* name;
  int delayMs;
  std::vector<Op> ops;
};

// Runs the script as the sender thread does, on one connection made at the
// start: the frames' lamps through PlayerLamps into the schedule.
void RunScript(const Script& script) {
  SCOPED_TRACE(script.name);
  LightSchedule schedule(50, script.delayMs / 1000.0);
  PlayerLamps lamps(music::Style::kMeter, 0.05, 44100, 0);
  schedule.Connected();
  for (size_t i = 0; i < script.ops.size(); ++i) {
    const Op& op = script.ops[i];
    const double t = op.time / 1000.0;
    SCOPED_TRACE("step " + std::to_string(i) + " at " + std::to_string(op.time) + " ms");
    switch (op.kind) {
      case Op::kPush: lamps.Lamps(t, music::LampBits(op.bits), false, &schedule); break;
      case Op::kStop: lamps.Lamps(t, 0, true, &schedule); break;
      case Op::kNext: {
        lamps.CheckPause(t, &schedule);
        music::LampBits bits = 0;
        EXPECT_EQ(schedule.Take(t, &bits), op.write);
        if (op.write) {
          EXPECT_EQ(bits, op.bits);
        }
        break;
      }
    }
  }
}

// What the schedule alone does with the frames' lamps (only changes, one
// line a slot, the delay, a new connection) is lamp_stream_test's; here
// what PlayerLamps adds: the stop frame and the pause.
TEST(LampSchedule, StopFrameAndPauseTurnTheLampsOff) {
  RunScript({"stop with lamps lit", 0, {Push(0, 0x8001), Writes(0, 0x8001), Stop(30), Writes(30, 0)}});
  RunScript({"stop when already dark: the off line still goes", 0,
       {Push(0, 0x0), Writes(0, 0), Stop(30), Writes(30, 0), Quiet(600), Quiet(2000)}});
  RunScript({"pause: no Render for half a second", 0,
       {Push(0, 0x5), Writes(0, 0x5), Quiet(499), Writes(500, 0), Quiet(600), Quiet(5000),
        Push(5100, 0x5), Writes(5100, 0x5)}});
  RunScript({"pause after the delay", 200,
       {Push(0, 0x5), Writes(200, 0x5), Quiet(699), Writes(700, 0)}});
}

// The sender polls while frames come and sleeps otherwise.
TEST(LampSchedule, RenderingUntilStopOrPause) {
  LightSchedule schedule(50, 0);
  PlayerLamps lamps(music::Style::kMeter, 0.05, 44100, 0);
  EXPECT_FALSE(lamps.Rendering());
  lamps.Lamps(0, 0x1, false, &schedule);
  EXPECT_TRUE(lamps.Rendering());
  lamps.Lamps(0.02, 0, true, &schedule);
  EXPECT_FALSE(lamps.Rendering()) << "stopped";
  EXPECT_EQ(lamps.CheckPause(0.02, &schedule), LightSchedule::kNever) << "stopped: nothing to wait for";
  lamps.Lamps(0.04, 0x1, false, &schedule);
  EXPECT_TRUE(lamps.Rendering());
  EXPECT_DOUBLE_EQ(lamps.CheckPause(0.1, &schedule), 0.54) << "the pause check";
  lamps.CheckPause(0.54, &schedule);
  EXPECT_FALSE(lamps.Rendering()) << "paused";
}

TEST(Settings, FromTheIniTexts) {
  const struct {
    const char *style, *hold, *delay;
    bool own;
    music::Style named;
    int holdMs, delayMs;
  } cases[] = {
      {"", "", "", true, music::Style::kSpectrum, 50, 0},
      {"own", "120", "300", true, music::Style::kSpectrum, 120, 300},
      {"beat", "0", "2000", false, music::Style::kBeat, 0, 2000},
      {"bogus", "abc", "12x", true, music::Style::kSpectrum, 50, 0},
      {"meter", "5000", "-7", false, music::Style::kMeter, 1000, 0},
      {"bass", " 75 ", "99999999999", false, music::Style::kBass, 75, 2000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.style) + "|" + c.hold + "|" + c.delay);
    const PluginSettings s = SettingsFromTexts(c.style, c.hold, c.delay);
    EXPECT_EQ(s.ownStyle, c.own);
    if (!c.own) {
      EXPECT_EQ(s.style, c.named);
    }
    EXPECT_EQ(s.holdMs, c.holdMs);
    EXPECT_EQ(s.delayMs, c.delayMs);
  }
}

TEST(Settings, DialogNumbersAreStrict) {
  const struct {
    const char* text;
    bool ok;
    int value;
  } cases[] = {{"20", true, 20}, {" 20 ", true, 20}, {"0", true, 0}, {"2000", true, 2000},
               {"2001", false, 0}, {"-1", false, 0}, {"", false, 0}, {"2x", false, 0},
               {"1e3", false, 0}};
  for (const auto& c : cases) {
    int value = -99;
    EXPECT_EQ(ParseMs(c.text, 0, 2000, &value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : -99) << c.text;
  }
}

TEST(Settings, IniFileBesideTheDll) {
  EXPECT_EQ(IniPathBeside("C:\\Player\\Plugins\\vis_vantrelle.dll"),
            "C:\\Player\\Plugins\\vis_vantrelle.ini");
  EXPECT_EQ(IniPathBeside("Z:/a.b/vis_x"), "Z:/a.b/vis_x.ini");
}

// The player's waveform bytes: signed 8-bit stored as unsigned char.
TEST(LampFeed, DecodesTheWaveformBytes) {
  const struct {
    unsigned char byte;
    int sample;
  } cases[] = {{0, 0}, {1, 1}, {127, 127}, {128, -128}, {255, -1}, {200, -56}};
  for (const auto& c : cases) EXPECT_EQ(DecodeWaveform(c.byte), c.sample) << int(c.byte);
}

// A player's frame: a sine of amplitude left/right (0 to 1) in the waveform
// and its line in the spectrum (index near frequency * 1024 / rate).
void FillFrame(winampVisModule* m, double left, double right, int rate, double hz) {
  *m = {};
  m->sRate = rate;
  m->nCh = 2;
  m->spectrumNch = m->waveformNch = 2;
  const double amplitude[2] = {left, right};
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kVisValues; ++i) {
      const int s = int(std::lround(127 * amplitude[c] * std::sin(2 * 3.14159265358979 * hz * i / rate)));
      m->waveformData[c][i] = static_cast<unsigned char>(static_cast<signed char>(s));
    }
    const int bin = int(std::lround(hz * 1024 / rate));
    m->spectrumData[c][bin] = static_cast<unsigned char>(std::lround(255 * amplitude[c]));
  }
}

TEST(LampFeed, MeterFollowsEachChannelAndTheStopFrameIsDark) {
  LampFeed feed(music::Style::kMeter, 0.05, 44100);
  winampVisModule m;
  FeedResult result;
  double t = 0;
  for (int i = 0; i < 50; ++i, t += 0.02) {
    FillFrame(&m, 0.9, 0, 44100, 1000);
    result = feed.Next(m, t);
  }
  EXPECT_FALSE(result.zeroed);
  EXPECT_NE(result.bits & 0x00FF, 0) << "left channel: row 1 lit";
  EXPECT_EQ(result.bits & 0xFF00, 0) << "right channel silent: row 2 dark";
  FillFrame(&m, 0, 0.9, 44100, 1000);
  for (int i = 0; i < 100; ++i, t += 0.02) result = feed.Next(m, t);  // The meter falls 40 dB/s.
  EXPECT_EQ(result.bits & 0x00FF, 0);
  EXPECT_NE(result.bits & 0xFF00, 0);
  winampVisModule zero = {};
  zero.spectrumNch = zero.waveformNch = 2;
  result = feed.Next(zero, t);
  EXPECT_TRUE(result.zeroed);
  EXPECT_EQ(result.bits, 0) << "the stop frame waits for no hold";
}

}  // namespace
}  // namespace plugin
