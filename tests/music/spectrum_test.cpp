// The PCM path's front alone: a full-scale sine peaks at 1 in its own bin
// whatever the window and wherever the ring stands; the hops' levels read
// as a meter does; the long spectrum comes every other hop and at once on
// an attack.
#include "music/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct SineCase {
  int size, fall;   // The window (fall < 0: symmetric Hann).
  int bin;          // The sine's frequency, in bins.
  size_t ringStart; // Where the ring's newest sample ends (a wrap inside the frame).
  double farBelow;  // Every bin 3 or more from the sine's reads less (the
                    // short window's steep fall leaks more).
};

class SpectrumSine : public testing::TestWithParam<SineCase> {};

TEST_P(SpectrumSine, PeaksAtOneInItsBinAndNowhereFar) {
  const SineCase& c = GetParam();
  music::Spectrum spectrum;
  spectrum.Init(c.size, c.fall);
  ASSERT_EQ(spectrum.Power().size(), static_cast<size_t>(c.size / 2 + 1));
  // A ring twice the frame, written so that sample i of the frame sits at
  // (ringStart + i) mod the ring's size.
  std::vector<float> ring(2 * c.size, 0.0f);
  for (int i = 0; i < c.size; ++i) {
    ring[(c.ringStart + i) % ring.size()] = static_cast<float>(std::sin(2 * kPi * c.bin * i / c.size + 0.3));
  }
  spectrum.Compute(ring, (c.ringStart + c.size) % ring.size());
  const std::vector<float>& p = spectrum.Power();
  EXPECT_NEAR(p[c.bin], 1.0, 0.05);
  EXPECT_EQ(p[0], 0.0f) << "DC carries no music";
  for (size_t k = 0; k < p.size(); ++k) {
    if (k + 3 <= static_cast<size_t>(c.bin) || k >= static_cast<size_t>(c.bin) + 3) {
      EXPECT_LT(p[k], c.farBelow) << "bin " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    WindowsAndRings, SpectrumSine,
    testing::Values(SineCase{2048, -1, 100, 0, 1e-6}, SineCase{2048, -1, 100, 1500, 1e-6},
                    SineCase{2048, -1, 7, 3, 1e-6}, SineCase{512, 128, 40, 0, 0.01},
                    SineCase{512, 128, 40, 700, 0.01}, SineCase{256, 64, 20, 255, 0.01}));

// Every size a rate can ask for (and the smallest), against the transform
// written out: noise through the window, the ring wrapping inside the frame.
class SpectrumSize : public testing::TestWithParam<int> {};
TEST_P(SpectrumSize, EqualsTheDirectTransform) {
  const int n = GetParam();
  for (const int fall : {-1, n / 4}) {
    music::Spectrum spectrum;
    spectrum.Init(n, fall);
    std::vector<float> ring(n + n / 2 + 3);
    uint32_t seed = 12345u + n;
    for (float& x : ring) x = static_cast<float>((seed = seed * 1664525u + 1013904223u) >> 8) / (1 << 24) * 2 - 1;
    const size_t newest = ring.size() / 3;  // The frame starts before the ring's end and wraps.
    spectrum.Compute(ring, newest);
    // The window, as the spectrum's sine cases pin it: a full-scale sine
    // peaks at 1, so the direct sum is scaled the same way.
    std::vector<double> frame(n), w(n);
    double windowSum = 0;
    const int rise = fall < 0 ? n : n - fall;
    for (int i = 0; i < n; ++i) {
      w[i] = fall < 0 ? 0.5 - 0.5 * std::cos(2 * kPi * i / n)
             : i < rise ? 0.5 - 0.5 * std::cos(kPi * i / rise)
                        : 0.5 + 0.5 * std::cos(kPi * (i - rise) / fall);
      windowSum += w[i];
      frame[i] = ring[(newest + ring.size() - n + i) % ring.size()] * w[i];
    }
    const std::vector<float>& p = spectrum.Power();
    ASSERT_EQ(p.size(), static_cast<size_t>(n / 2 + 1));
    EXPECT_EQ(p[0], 0.0f) << "DC carries no music";
    std::vector<double> want(n / 2 + 1);
    double peak = 0;
    for (int k = 1; k <= n / 2; ++k) {
      double re = 0, im = 0;
      for (int i = 0; i < n; ++i) {
        re += frame[i] * std::cos(2 * kPi * k * i / n);
        im -= frame[i] * std::sin(2 * kPi * k * i / n);
      }
      want[k] = (re * re + im * im) * 4 / (windowSum * windowSum);
      peak = std::max(peak, want[k]);
    }
    for (int k = 1; k <= n / 2; ++k) {
      ASSERT_NEAR(p[k], want[k], 2e-6 * peak) << "n " << n << " fall " << fall << " bin " << k;
    }
  }
}
INSTANTIATE_TEST_SUITE_P(PowersOfTwo, SpectrumSize, testing::Values(8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192));

// ---- The hops: about 5 ms at every rate, levels as a meter reads them.

struct LevelCase {
  int rate, channels;
  double leftDb, rightDb;  // Sine peaks in dBFS; -200: digital silence.
  float wantLeft, wantRight;
};

class HopLevels : public testing::TestWithParam<LevelCase> {};

TEST_P(HopLevels, ReadEachChannelInDbfs) {
  const LevelCase& c = GetParam();
  music::PcmHops pcm(c.rate, c.channels);
  const double hopSeconds = static_cast<double>(pcm.HopSamples()) / c.rate;
  if (c.rate >= 22050) {  // The rates a capture gives; below, a hop is at least 128 samples.
    EXPECT_GE(hopSeconds, 0.0045);
    EXPECT_LE(hopSeconds, 0.006);
  }
  const size_t frames = static_cast<size_t>(c.rate / 2);
  std::vector<float> pcmIn(frames * c.channels);
  const double gain[2] = {std::pow(10.0, c.leftDb / 20), std::pow(10.0, c.rightDb / 20)};
  for (size_t i = 0; i < frames; ++i) {
    for (int ch = 0; ch < c.channels; ++ch) {
      pcmIn[i * c.channels + ch] = static_cast<float>(gain[ch] * std::sin(2 * kPi * 1000 * i / c.rate));
    }
  }
  int hops = 0;
  float level[2] = {0, 0};
  double lastTime = 0;
  pcm.Feed(pcmIn.data(), frames, [&](const music::Hop& h) {
    ++hops;
    level[0] = h.levelDb[0];
    level[1] = h.levelDb[1];
    lastTime = h.time;
  });
  EXPECT_EQ(hops, static_cast<int>(frames / pcm.HopSamples()));
  EXPECT_NEAR(lastTime, hops * hopSeconds, 1e-9);
  EXPECT_NEAR(level[0], c.wantLeft, 0.15);
  EXPECT_NEAR(level[1], c.wantRight, 0.15);
}

INSTANTIATE_TEST_SUITE_P(
    RatesAndChannels, HopLevels,
    testing::Values(LevelCase{48000, 2, 0, -20, 0, -20}, LevelCase{44100, 2, -200, -6, -120, -6},
                    LevelCase{22050, 1, -30, 0, -30, -30},  // Mono: both read the one channel.
                    LevelCase{96000, 2, -60, -90, -60, -90}, LevelCase{8000, 1, -200, 0, -120, -120}));

// The long spectrum: every other hop while the level holds, and at once
// on a hop 6 dB louder than one of the two before (the first hops: louder
// than the silence before the stream).
TEST(PcmHops, LongSpectrumEveryOtherHopAndAtOnceOnAnAttack) {
  music::PcmHops pcm(48000, 1);
  const int hop = pcm.HopSamples(), loudAt = 22;  // An attack on a hop that would have none.
  std::vector<float> in(static_cast<size_t>(30 * hop));
  for (size_t i = 0; i < in.size(); ++i) {
    const double gain = static_cast<int>(i / hop) >= loudAt ? 0.5 : 0.05;
    in[i] = static_cast<float>(gain * std::sin(2 * kPi * 440 * i / 48000.0));
  }
  std::string band;
  pcm.Feed(in.data(), in.size(), [&](const music::Hop& h) {
    EXPECT_NE(h.onset, nullptr);
    band += h.band != nullptr ? 'B' : '-';
  });
  // Hop 1 is louder than the silence before hop 0; hops 22 and 23 are each
  // louder than hop 21.
  EXPECT_EQ(band, "BB-B-B-B-B-B-B-B-B-B-B" "BB-B-B-B");
}

}  // namespace
