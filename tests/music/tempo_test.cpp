// The tempo stage alone, on synthetic onset grids: the octave it settles
// in, and that it stays there when the accents change or the playing drifts.
#include "music/tempo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

struct GridCase {
  double bpm;
  float offBeat;      // Strength of the eighths between the beats (0: none).
  float quietSnare;   // The snare's strength in every other 8 bars (1: no change).
  double jitterMs;    // Each hit played this much early or late at most.
};

class TempoGrid : public testing::TestWithParam<GridCase> {};

TEST_P(TempoGrid, RightOctaveAndNoFlipsOverAMinute) {
  const GridCase& c = GetParam();
  const double cell = music::kTempoCellSeconds;
  // The hits' strength, and their body: the kick's and snare's all of it.
  std::vector<float> cells(static_cast<size_t>(60 / cell), 0.0f), body(cells.size(), 0.0f);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> jitter(-c.jitterMs / 1000, c.jitterMs / 1000);
  const double eighth = 30 / c.bpm;
  int i = 0;
  for (double t = 0.5; t < 59.5; t += eighth, ++i) {
    const int beat = i / 2, bar = beat / 4;
    float strength = c.offBeat;
    if (i % 2 == 0) strength = beat % 2 == 0 || (bar / 8) % 2 == 0 ? 1.0f : c.quietSnare;
    if (strength <= 0) continue;
    const size_t at = static_cast<size_t>((t + jitter(rng)) / cell);
    for (size_t k = at; k < std::min(at + 2, cells.size()); ++k) {  // The hit and its decay.
      cells[k] = std::max(cells[k], k == at ? strength : 0.5f * strength);
      if (i % 2 == 0) body[k] = cells[k];
    }
  }
  music::TempoTracker tempo;
  int flips = 0, wrong = 0, octave = 99;
  float lowest = 1e9f, highest = 0;
  for (size_t k = 0; k < cells.size(); ++k) {
    tempo.AddCell(cells[k], body[k]);
    if (k * cell < 8) continue;
    ASSERT_GT(tempo.Bpm(), 0) << "at " << k * cell << " s";
    const int now = static_cast<int>(std::lround(std::log2(tempo.Bpm() / c.bpm)));
    flips += octave != 99 && now != octave;
    octave = now;
    // Settled, within 0.6 %: 1 % is 8 ms a beat at 72 BPM, and the beats drift.
    wrong += std::fabs(tempo.Bpm() / c.bpm - 1) > (k * cell < 15 ? 0.02 : 0.006);
    lowest = std::min(lowest, tempo.Bpm());
    highest = std::max(highest, tempo.Bpm());
  }
  EXPECT_EQ(flips, 0) << "between " << lowest << " and " << highest;
  EXPECT_EQ(wrong, 0) << "between " << lowest << " and " << highest;
}

INSTANTIATE_TEST_SUITE_P(
    AccentsTempiAndDrift, TempoGrid,
    testing::Values(
        // The snare a third as strong every other 8 bars, hi-hats between.
        GridCase{141, 0.3f, 0.3f, 0}, GridCase{170, 0.3f, 0.3f, 0},
        GridCase{141, 0.3f, 0.3f, 12}, GridCase{170, 0.3f, 0.3f, 12}, GridCase{96, 0.3f, 0.3f, 0},
        GridCase{100, 0.3f, 0.3f, 0}, GridCase{120, 0.3f, 0.3f, 0}, GridCase{150, 0.3f, 0.3f, 0},
        GridCase{160, 0.3f, 0.3f, 0}, GridCase{180, 0.3f, 0.3f, 0},
        // Beats alone, 8 tempi from 72 to 180.
        GridCase{72, 0, 1, 0}, GridCase{88, 0, 1, 0}, GridCase{100, 0, 1, 0}, GridCase{114, 0, 1, 0},
        GridCase{128, 0, 1, 0}, GridCase{141, 0, 1, 0}, GridCase{160, 0, 1, 0}, GridCase{180, 0, 1, 5},
        // Slow tempi with eighth-note hats: the hats' lack of body decides.
        GridCase{88, 0.5f, 1, 0}, GridCase{88, 0.3f, 1, 0}, GridCase{72, 0.3f, 1, 0},
        GridCase{72, 0.5f, 1, 0}, GridCase{72, 0.3f, 1, 8}, GridCase{80, 0.3f, 1, 0}, GridCase{64, 0.3f, 1, 0}));

TEST(TempoTracker, ForgetsOnResetAndKnowsNothingFromSilence) {
  music::TempoTracker tempo;
  for (int k = 0; k < 1000; ++k) tempo.AddCell(0);
  EXPECT_EQ(tempo.Bpm(), 0);
  for (int k = 0; k < 1000; ++k) tempo.AddCell(k % 50 == 0 ? 1.0f : 0.0f);  // 120 BPM.
  EXPECT_NEAR(tempo.Bpm(), 120, 2);
  tempo.Reset();
  EXPECT_EQ(tempo.Bpm(), 0);
}

// The analysis follows the beat phase after each estimate: AddCell says
// when one was made, the first after kFirstCells, then every kEveryCells.
TEST(TempoTracker, SaysWhenItEstimated) {
  music::TempoTracker tempo;
  std::vector<int> estimated;
  for (int k = 1; k <= 200; ++k) {
    if (tempo.AddCell(k % 50 == 0 ? 1.0f : 0.0f)) estimated.push_back(k);
  }
  EXPECT_EQ(estimated, (std::vector<int>{150, 160, 170, 180, 190, 200}));
  tempo.Reset();  // Forgets the tempo, not the cells' count.
  EXPECT_TRUE(tempo.AddCell(0) == false);
}

}  // namespace
