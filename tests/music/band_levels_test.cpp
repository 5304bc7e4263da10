// The band levels alone, on hand-made spectra: a band that rises lights, a
// rise of all bands (a crescendo) much less, a fall nothing; a held tone
// that towers over the rest stays lit; the floor and silence keep all dark.
#include "music/band_levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/music/stage_spectra.h"

namespace {

using music::kBandCount;
using music_test::BandEdges;
using music_test::FlatSpectrum;

constexpr size_t kBins = 1025;  // The PCM path's long spectrum at 48 kHz.
constexpr double kBinHz = 48000.0 / 2048;

struct LevelCase {
  const char* name;
  double baseDb;     // Every bin, for 3 s.
  int band;          // Then this band (-1: every band) changes by
  double changeDb;   // this much
  double heldFor;    // and is held this long before the look.
  float minLit;      // The changed band's value at least this (every band's if -1),
  float maxLit;      // and at most this;
  float maxOthers;   // the others' at most this.
};

class Levels : public testing::TestWithParam<LevelCase> {};

TEST_P(Levels, AgainstEachBandsOwnPast) {
  const LevelCase& c = GetParam();
  music::BandLevels levels;
  const std::vector<float> before = FlatSpectrum(kBins, kBinHz, c.baseDb);
  double low = 0, high = 0;
  if (c.band >= 0) BandEdges(c.band, &low, &high);
  if (c.band < 0) low = 0, high = 1e9;
  const std::vector<float> after = FlatSpectrum(kBins, kBinHz, c.baseDb, low, high, c.changeDb);
  double t = 0;
  float band[kBandCount] = {};
  for (; t < 3; t += 0.01) {
    std::fill(band, band + kBandCount, 0.0f);
    levels.Next(before.data(), kBins, kBinHz, t, false, band);
  }
  for (const double end = t + c.heldFor; t < end; t += 0.01) {
    std::fill(band, band + kBandCount, 0.0f);
    levels.Next(after.data(), kBins, kBinHz, t, false, band);
  }
  for (int b = 0; b < kBandCount; ++b) {
    if (c.band < 0 || b == c.band) {
      EXPECT_GE(band[b], c.minLit) << c.name << ", band " << b;
      EXPECT_LE(band[b], c.maxLit) << c.name << ", band " << b;
    } else {
      EXPECT_LE(band[b], c.maxOthers) << c.name << ", band " << b;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, Levels,
    testing::Values(
        LevelCase{"one band 12 dB up", -50, 8, 12, 0.1, 0.9f, 1, 0.05f},
        LevelCase{"a low band 12 dB up", -50, 3, 12, 0.1, 0.9f, 1, 0.05f},
        // The common part is mostly taken out: a crescendo lights far less.
        LevelCase{"all bands 12 dB up", -50, -1, 12, 0.1, 0.2f, 0.6f, 0},
        LevelCase{"all bands 12 dB down", -50, -1, -12, 0.1, 0, 0, 0},
        // Its own history catches up with a band held 6 dB up ...
        LevelCase{"one band held 15 dB up", -50, 8, 15, 6, 0, 0.2f, 0.2f},
        // ... but one that towers over the rest stays lit.
        LevelCase{"one band held 30 dB up", -50, 8, 30, 6, 0.5f, 1, 0.2f},
        // Far below a full-scale sine nothing lights, whatever its history.
        LevelCase{"below the floor", -125, 8, 12, 0.1, 0, 0, 0}));

TEST(BandLevels, SilenceWritesNothingAndRepeatGivesTheLastValues) {
  music::BandLevels levels;
  const std::vector<float> quiet = FlatSpectrum(kBins, kBinHz, -50);
  double low, high;
  BandEdges(8, &low, &high);
  const std::vector<float> loud = FlatSpectrum(kBins, kBinHz, -50, low, high, 12);
  float band[kBandCount] = {};
  double t = 0;
  for (; t < 3; t += 0.01) levels.Next(quiet.data(), kBins, kBinHz, t, false, band);
  std::fill(band, band + kBandCount, 0.0f);
  levels.Next(loud.data(), kBins, kBinHz, t, true, band);
  EXPECT_EQ(std::count(band, band + kBandCount, 0.0f), kBandCount) << "silent: nothing lights";
  levels.Next(loud.data(), kBins, kBinHz, t + 0.01, false, band);
  ASSERT_GT(band[8], 0.5f);
  float again[kBandCount] = {};
  levels.Repeat(true, again);
  EXPECT_EQ(again[8], 0.0f);
  levels.Repeat(false, again);
  EXPECT_EQ(again[8], band[8]);
}

}  // namespace
