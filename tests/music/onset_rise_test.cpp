// The mid highs' rise alone: a hit that lifts every bin from 1 to 3 kHz
// reads its rise in nepers; a note in a few bins next to nothing, a
// decaying tail below zero, anything outside the range nothing.
#include "music/onset_rise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/music/stage_spectra.h"

namespace {

using music_test::FlatSpectrum;

constexpr size_t kBins = 1025;
constexpr double kBinHz = 48000.0 / 2048;

struct RiseCase {
  const char* name;
  double lowHz, highHz, changeDb;  // After 0.2 s at -60 dB a bin, these bins change.
  float want, tolerance;           // The rise at the change, in nepers.
};

class Rise : public testing::TestWithParam<RiseCase> {};

TEST_P(Rise, MeanLogRiseOfTheMidHighs) {
  const RiseCase& c = GetParam();
  music::HighsRise rise;
  const std::vector<float> before = FlatSpectrum(kBins, kBinHz, -60);
  const std::vector<float> after = FlatSpectrum(kBins, kBinHz, -60, c.lowHz, c.highHz, c.changeDb);
  // Steps of 1/64 s: the lag's reference is two steps back.
  const double step = 1.0 / 64;
  int i = 0;
  // Near, not equal, to 0: an x87 build keeps the newest sum in a wider register.
  for (; i < 12; ++i) EXPECT_NEAR(rise.Next(before.data(), kBins, kBinHz, i * step, 1e-12f), 0, 1e-6) << c.name;
  const float first = rise.Next(after.data(), kBins, kBinHz, i++ * step, 1e-12f);
  const float second = rise.Next(after.data(), kBins, kBinHz, i++ * step, 1e-12f);
  const float third = rise.Next(after.data(), kBins, kBinHz, i++ * step, 1e-12f);
  EXPECT_NEAR(first, c.want, c.tolerance) << c.name;
  EXPECT_NEAR(second, c.want, c.tolerance) << c.name << ", one step on";
  EXPECT_NEAR(third, 0, 1e-6) << c.name << ": the reference has the change";
}

// A 6 dB rise of power is 1.38 Np of power, 0.69 Np of amplitude; the
// range has 86 bins at 48 kHz.
INSTANTIATE_TEST_SUITE_P(
    Changes, Rise,
    testing::Values(RiseCase{"a hit over the whole range", 0, 20000, 6, 0.691f, 0.002f},
                    RiseCase{"a hit in the range only", 900, 3100, 6, 0.691f, 0.002f},
                    RiseCase{"a note in two bins", 1500, 1560, 6, 0.0161f, 0.0005f},
                    RiseCase{"a tail falling", 0, 20000, -6, -0.691f, 0.002f},
                    RiseCase{"above the range", 4000, 12000, 20, 0, 1e-6f},
                    // A bin counts as empty at the floor: a fall stops there.
                    RiseCase{"a fall below the floor", 0, 20000, -70, -6.908f, 0.005f}));

}  // namespace
