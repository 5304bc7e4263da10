// The beat phase alone: tempo estimates handed in by hand, steps of the
// PCM path's and the player's lengths; where the beats fall, the lead, and
// how the phase follows a drift but not one odd estimate.
#include "music/beat_phase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Beats {
  std::vector<double> beats;  // The steps' times that fired a beat.
  bool phaseRises = true;     // Between beats, the phase only rises.
};

// Estimates every 0.1 s from the second `from` on, each placing a beat at
// beatAt(now); steps of dt up to `seconds`; loud until `quietFrom`.
template <class BeatAt>
Beats Drive(music::BeatPhase* phase, float bpm, double dt, double seconds, BeatAt beatAt, double quietFrom = 1e9) {
  Beats run;
  double nextEstimate = 1.5, previous = 0;
  float lastPhase = 0;
  for (double t = dt; t < seconds; t += dt) {
    while (t >= nextEstimate) {
      phase->Follow(bpm, beatAt(previous), previous);
      nextEstimate += 0.1;
    }
    float p = lastPhase;
    const bool beat = phase->Step(t, dt, std::min(t, quietFrom), &p);
    if (beat) run.beats.push_back(t);
    if (!beat && p < lastPhase) run.phaseRises = false;
    lastPhase = p;
    previous = t;
  }
  return run;
}

struct GridCase {
  float bpm;
  double offset, dt, lead;
};

class BeatGrid : public testing::TestWithParam<GridCase> {};

TEST_P(BeatGrid, FiresOnTheNearestStepLessTheLeadOnceSteady) {
  const GridCase& c = GetParam();
  const double period = 60.0 / c.bpm;
  music::BeatPhase phase(c.lead);
  // The beat the tracker places best: the grid's last beat before now.
  auto beatAt = [&](double now) { return c.offset + std::floor((now - c.offset) / period) * period; };
  const Beats run = Drive(&phase, c.bpm, c.dt, 12, beatAt);
  EXPECT_EQ(phase.Bpm(), c.bpm);
  EXPECT_TRUE(run.phaseRises);
  ASSERT_GE(run.beats.size(), static_cast<size_t>(10 / period) - 1);
  // The lead comes once the phase has held for a second of estimates (the
  // first at 1.5 s sets it); around then a beat may come either way.
  const double steady = 1.5 + 0.1 * (music::BeatPhase::kStableEstimates + 1);
  int checked = 0;
  for (size_t i = 0; i < run.beats.size(); ++i) {
    const double t = run.beats[i];
    if (t > steady - 0.1 && t < steady + period + 0.1) continue;
    const double lead = t >= steady ? c.lead : 0;
    const double target = beatAt(t + lead + period / 2) - lead;
    EXPECT_LE(std::fabs(t - target), c.dt / 2 + 1e-9) << "beat " << i << " at " << t;
    ++checked;
  }
  EXPECT_GE(checked, static_cast<int>(9 / period) - 1);
}

INSTANTIATE_TEST_SUITE_P(
    TempiStepsAndLeads, BeatGrid,
    testing::Values(GridCase{120, 0.013, 256.0 / 48000, 0}, GridCase{97.3f, 0.2, 256.0 / 48000, 0},
                    GridCase{120, 0.013, 256.0 / 48000, 0.012}, GridCase{141, 0.05, 0.023, 0.02},
                    GridCase{180, 0.3, 256.0 / 44100, 0.03}));

// One estimate that disagrees by a third of a beat does not move the
// beats; three in a row do; a small drift is followed at once.
struct DriftCase {
  const char* name;
  int oddEstimates;     // From the 5th second: this many estimates off by
  double offBeats;      // this part of a beat (then back on the grid, or kept).
  bool kept;            // The new phase is kept from then on.
  double wantShiftBeats;  // The beats' offset at the end (kept), or all along, in beats.
};

class Drift : public testing::TestWithParam<DriftCase> {};

TEST_P(Drift, FollowsAPersistentChangeOnly) {
  const DriftCase& c = GetParam();
  const float bpm = 100;
  const double period = 0.6, dt = 0.005;
  music::BeatPhase phase(0);
  // Estimates by hand: on the grid, then the odd ones, then as the case says.
  std::vector<double> beats;
  double previous = 0, nextEstimate = 1.5;
  int odd = 0;
  for (double t = dt; t < 9; t += dt) {
    while (t >= nextEstimate) {
      double shift = 0;
      if (nextEstimate >= 5 && (odd < c.oddEstimates || c.kept)) shift = c.offBeats * period, ++odd;
      phase.Follow(bpm, std::floor(previous / period) * period + shift, previous);
      nextEstimate += 0.1;
    }
    float p = 0;
    if (phase.Step(t, dt, t, &p)) beats.push_back(t);
    previous = t;
  }
  ASSERT_FALSE(beats.empty());
  auto shiftOf = [&](double t) { return std::remainder(t, period) / period; };
  // Kept: where the beats end up; else, not one beat moved on the way.
  if (c.kept) {
    EXPECT_NEAR(shiftOf(beats.back()), c.wantShiftBeats, 0.02) << c.name;
  } else {
    for (double t : beats) EXPECT_NEAR(shiftOf(t), c.wantShiftBeats, 0.02) << c.name << ": the beat at " << t;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Estimates, Drift,
    testing::Values(DriftCase{"one odd estimate", 1, 0.33, false, 0},
                    DriftCase{"two odd estimates", 2, 0.33, false, 0},
                    DriftCase{"a new phase, kept", 0, 0.33, true, 0.33},
                    DriftCase{"a small drift, kept", 0, 0.1, true, 0.1}));

TEST(BeatPhase, APauseStopsTheBeatsAndForgetEndsThem) {
  music::BeatPhase phase(0);
  auto beatAt = [](double now) { return std::floor(now / 0.5) * 0.5; };
  // Loud until 4 s: beats until 2 s after that, none after.
  const Beats run = Drive(&phase, 120, 0.005, 10, beatAt, 4);
  ASSERT_FALSE(run.beats.empty());
  EXPECT_LT(run.beats.back(), 4 + music::BeatPhase::kPauseSeconds);
  EXPECT_GT(run.beats.back(), 4 + music::BeatPhase::kPauseSeconds - 0.5 - 0.01);
  phase.Forget();
  EXPECT_EQ(phase.Bpm(), 0);
  float p = -1;
  EXPECT_FALSE(phase.Step(10.25, 0.005, 10.25, &p));
  EXPECT_EQ(p, -1) << "no tempo: the phase is left alone";
}

}  // namespace
