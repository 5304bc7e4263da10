// The percussive onset function alone, on hand-made short spectra: nothing
// from a steady spectrum, a rise wherever a hit lands, the body's share of
// it from where the hit's power is, the highs' flux only from the highs,
// and a hit as plain 30 dB down as at full level.
#include "music/onset_percussive.h"

#include <gtest/gtest.h>

#include "tests/music/stage_spectra.h"

namespace {

using music_test::FlatSpectrum;

constexpr size_t kBins = 257;  // The PCM path's short spectrum at 48 kHz.
constexpr double kBinHz = 48000.0 / 512;

struct HitCase {
  const char* name;
  double baseDb, lowHz, highHz, upDb;
  // What the hit's step gives: body's share of the tempo strength, and
  // the highs' flux against the whole.
  float minBodyShare, maxBodyShare;
  bool crisp;
};

// Ten steady steps, then the hit: its step's values.
music::PercussiveValues Hit(const HitCase& c, music::PercussiveValues* steady) {
  music::PercussiveFlux flux;
  const std::vector<float> before = FlatSpectrum(kBins, kBinHz, c.baseDb);
  const std::vector<float> after = FlatSpectrum(kBins, kBinHz, c.baseDb, c.lowHz, c.highHz, c.upDb);
  for (int i = 0; i < 10; ++i) *steady = flux.Next(before.data(), kBins, kBinHz);
  return flux.Next(after.data(), kBins, kBinHz);
}

class PercussiveHit : public testing::TestWithParam<HitCase> {};

TEST_P(PercussiveHit, RisesWhereTheHitIs) {
  const HitCase& c = GetParam();
  music::PercussiveValues steady;
  const music::PercussiveValues v = Hit(c, &steady);
  EXPECT_EQ(steady.flux, 0) << c.name;
  EXPECT_EQ(steady.tempo, 0) << c.name;
  EXPECT_GT(v.flux, 1) << c.name;
  ASSERT_GT(v.tempo, 0) << c.name;
  EXPECT_GE(v.body / v.tempo, c.minBodyShare) << c.name;
  EXPECT_LE(v.body / v.tempo, c.maxBodyShare) << c.name;
  if (c.crisp) {
    EXPECT_GT(v.crisp, 0.5f * v.flux) << c.name;
  } else {
    EXPECT_EQ(v.crisp, 0) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hits, PercussiveHit,
    testing::Values(HitCase{"kick", -60, 40, 250, 20, 0.99f, 1, false},
                    HitCase{"snare's body and rattle", -60, 100, 2500, 20, 0.05f, 0.5f, false},
                    HitCase{"mid tone", -60, 700, 1500, 20, 0, 0, false},
                    HitCase{"hi-hat", -60, 5000, 15000, 20, 0, 0, true}));

// The log compression: a hit 30 dB down stands out about as much (its
// threshold follows the flux's median, not the level).
TEST(PercussiveFlux, AHitCountsTheSameAtAnyLevel) {
  music::PercussiveValues steady;
  const float loud = Hit({"loud", -40, 1000, 4000, 12, 0, 1, false}, &steady).flux;
  const float quiet = Hit({"quiet", -70, 1000, 4000, 12, 0, 1, false}, &steady).flux;
  EXPECT_NEAR(quiet / loud, 1, 0.1);
  // Below the knee a level change is next to nothing: the player's one-step
  // flicker must not read as hits.
  const float faint = Hit({"faint", -150, 1000, 4000, 12, 0, 1, false}, &steady).flux;
  EXPECT_LT(faint, 0.05f * loud);
}

TEST(PercussiveFlux, ARiseCountsAgainstTheStepBeforeLast) {
  music::PercussiveFlux flux;
  const std::vector<float> low = FlatSpectrum(kBins, kBinHz, -60), high = FlatSpectrum(kBins, kBinHz, -40);
  for (int i = 0; i < 5; ++i) flux.Next(low.data(), kBins, kBinHz);
  // The hit, held: it shows on its own step and the next, then not.
  const float first = flux.Next(high.data(), kBins, kBinHz).flux;
  const float second = flux.Next(high.data(), kBins, kBinHz).flux;
  const float third = flux.Next(high.data(), kBins, kBinHz).flux;
  EXPECT_GT(first, 1);
  EXPECT_FLOAT_EQ(second, first);
  EXPECT_EQ(third, 0);
}

}  // namespace
