// The styles and the hold on hand-made frames: the rules, without a signal.
#include "music/lamp_styles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using music::Frame;
using music::LampBits;
using music::Style;

int Lit(unsigned bits) {
  int n = 0;
  for (; bits; bits &= bits - 1) ++n;
  return n;
}

Frame At(double time) {
  Frame f;
  f.time = time;
  f.silent = false;
  f.levelDb[0] = f.levelDb[1] = -20;
  return f;
}

// ---- Names.

TEST(StyleNames, EveryStyleReadsBackAndOthersAreRefused) {
  for (int i = 0; i < music::kStyleCount; ++i) {
    Style style = Style::kBass == static_cast<Style>(i) ? Style::kSpectrum : Style::kBass;
    EXPECT_TRUE(music::ParseStyle(music::StyleName(static_cast<Style>(i)), &style));
    EXPECT_EQ(style, static_cast<Style>(i));
  }
  const char* const bad_names[] = {"", "Spectrum", "spectrum ", "beats", "vu", nullptr};
  for (const char* bad : bad_names) {
    Style style = Style::kPulse;
    EXPECT_FALSE(music::ParseStyle(bad, &style)) << (bad ? bad : "(null)");
    EXPECT_EQ(style, Style::kPulse);
  }
}

// ---- LampHold: a lamp that changed keeps its state for the hold.

struct HoldStep {
  double time;
  LampBits wanted, shown;
};

struct HoldCase {
  const char* name;
  double hold;
  std::vector<HoldStep> steps;
};

class Hold : public testing::TestWithParam<HoldCase> {};

TEST_P(Hold, KeepsEachLampForItsMinimumTime) {
  music::LampHold hold(GetParam().hold);
  for (const HoldStep& s : GetParam().steps) {
    EXPECT_EQ(hold.Apply(s.wanted, s.time), s.shown) << GetParam().name << " at " << s.time;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Hold, testing::Values(
    HoldCase{"first change at once", 0.05, {{0.0, 0x0001, 0x0001}}},
    HoldCase{"on then off too soon", 0.05,
             {{0.0, 0x0001, 0x0001}, {0.02, 0x0000, 0x0001}, {0.049, 0x0000, 0x0001}, {0.05, 0x0000, 0x0000}}},
    HoldCase{"off then on too soon", 0.05,
             {{0.0, 0x8000, 0x8000}, {0.06, 0x0000, 0x0000}, {0.08, 0x8000, 0x0000}, {0.11, 0x8000, 0x8000}}},
    HoldCase{"a blip shorter than the hold is lost", 0.05,
             {{0.0, 0x0010, 0x0010}, {0.1, 0x0000, 0x0000}, {0.12, 0x0010, 0x0000}, {0.13, 0x0000, 0x0000},
              {0.2, 0x0000, 0x0000}}},
    HoldCase{"lamps are held one by one", 0.05,
             {{0.0, 0x0001, 0x0001}, {0.03, 0x0003, 0x0003}, {0.06, 0x0002, 0x0002}, {0.07, 0x0000, 0x0002},
              {0.08, 0x0000, 0x0000}}},
    HoldCase{"no hold", 0, {{0.0, 0xFFFF, 0xFFFF}, {0.0, 0x0000, 0x0000}, {0.001, 0x1234, 0x1234}}}));

// ---- Hysteresis: separate thresholds to switch on and to switch off.

struct BandStep {
  float value;
  bool lit;
};

class SpectrumHysteresis : public testing::TestWithParam<std::vector<BandStep>> {};

TEST_P(SpectrumHysteresis, OnAboveTheUpperOffBelowTheLower) {
  music::Styler styler(Style::kSpectrum, 0);
  double t = 0;
  for (const BandStep& s : GetParam()) {
    Frame f = At(t += 0.01);
    f.band[3] = s.value;
    f.band[12] = 0.9f;  // Another lamp lit throughout: band 3 never stands alone.
    const LampBits bits = styler.Next(f);
    EXPECT_EQ((bits & 0x10) != 0, s.lit) << "value " << s.value << " at " << t;
    EXPECT_TRUE(bits & 0x0800);
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, SpectrumHysteresis, testing::Values(
    std::vector<BandStep>{{0, false}, {0.2f, false}, {0.29f, false}, {0.31f, true}, {0.2f, true},
                          {0.09f, true}, {0.07f, false}, {0.2f, false}, {0.5f, true}},
    std::vector<BandStep>{{1, true}, {0.1f, true}, {0, false}, {0.25f, false}}));

TEST(MeterHysteresis, ALampStaysOnUntilTheLevelIsClearlyBelowItsStep) {
  music::Styler styler(Style::kMeter, 0);
  const struct { float db; int lamps; } steps[] = {
      {-31.25f, 4}, {-32, 4}, {-32.5f, 4}, {-33, 3}, {-32, 3}, {-31.25f, 4}};
  double t = 0;
  for (const auto& s : steps) {
    LampBits bits = 0;
    for (int i = 0; i < 30; ++i) {  // Long enough for the meter's fall.
      Frame f = At(t += 0.01);
      f.levelDb[0] = s.db;
      bits = styler.Next(f);
    }
    EXPECT_EQ(Lit(bits & 0xFF), s.lamps) << s.db << " dBFS";
  }
}

// ---- Beat, pulse and silence.

TEST(BeatStyle, StepsOneLampPerBeatAcrossBothRows) {
  music::Styler styler(Style::kBeat, 0);
  const LampBits order[] = {0x0080, 0x0040, 0x0020, 0x0010, 0x0008, 0x0004, 0x0002, 0x0001,
                            0x8000, 0x4000, 0x2000, 0x1000, 0x0800, 0x0400, 0x0200, 0x0100, 0x0080};
  double t = 0;
  for (LampBits expected : order) {
    Frame f = At(t += 0.5);
    f.bpm = 120;
    f.beat = true;
    EXPECT_EQ(styler.Next(f), expected);
    Frame between = At(t += 0.25);
    between.bpm = 120;
    between.onset = true;  // With a tempo, onsets between beats do not step.
    EXPECT_EQ(styler.Next(between), expected);
  }
}

TEST(PulseStyle, AllOnAtAnOnsetThenOutFromTheOutsideIn) {
  music::Styler styler(Style::kPulse, 0);
  Frame f = At(1.0);
  f.onset = true;
  EXPECT_EQ(styler.Next(f), 0xFFFF);
  const struct { double t; LampBits bits; } after[] = {
      {1.05, 0xFFFF}, {1.07, 0x7E7E}, {1.13, 0x3C3C}, {1.19, 0x1818}, {1.25, 0x0000}, {1.5, 0x0000}};
  for (const auto& a : after) EXPECT_EQ(styler.Next(At(a.t)), a.bits) << a.t;
}

// With a tempo, the beat's phase shapes both: the chaser's lamp is a flash
// on the beat, and a pulse started by a beat goes out over half of it.
TEST(BeatAndPulseStyles, FollowTheBeatsPhase) {
  struct Step {
    double phase;
    bool beat;
    LampBits chaser, pulse;
  };
  const Step steps[] = {{0, true, 0x0080, 0xFFFF},     {0.1, false, 0x0080, 0xFFFF},
                        {0.2, false, 0x0080, 0x7E7E},  {0.3, false, 0x0080, 0x3C3C},
                        {0.45, false, 0x0080, 0x1818}, {0.6, false, 0x0000, 0x0000},
                        {0.9, false, 0x0000, 0x0000},  {0, true, 0x0040, 0xFFFF},
                        {0.7, false, 0x0000, 0x0000}};
  music::Styler chaser(Style::kBeat, 0), pulse(Style::kPulse, 0);
  double t = 1;
  for (const Step& s : steps) {
    Frame f = At(t += 0.05);
    f.bpm = 120;
    f.beat = s.beat;
    f.beatPhase = static_cast<float>(s.phase);
    EXPECT_EQ(chaser.Next(f), s.chaser) << "phase " << s.phase;
    EXPECT_EQ(pulse.Next(f), s.pulse) << "phase " << s.phase;
  }
}

// Silence turns everything off; but a beat fired early by the lead lands in
// the quiet before its hit (a metronome's clicks), and the beat styles flash
// it, up to a beat of quiet.
TEST(AllStyles, SilenceTurnsEverythingOffButTheBeatsOfARest) {
  for (int s = 0; s < music::kStyleCount; ++s) {
    const Style style = static_cast<Style>(s);
    music::Styler styler(style, 0);
    Frame loud = At(1.0);
    loud.onset = loud.beat = true;
    loud.bpm = 120;
    loud.levelDb[0] = loud.levelDb[1] = 0;
    for (float& b : loud.band) b = 1;
    EXPECT_NE(styler.Next(loud), 0) << music::StyleName(style);
    Frame quiet = loud;
    quiet.time = 1.49;
    quiet.silent = true;
    EXPECT_EQ(styler.Next(quiet) != 0, style == Style::kBeat || style == Style::kPulse) << music::StyleName(style);
    quiet.time = 2.1;
    EXPECT_EQ(styler.Next(quiet), 0) << music::StyleName(style);
  }
}

}  // namespace
