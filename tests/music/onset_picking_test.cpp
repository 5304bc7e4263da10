// Peak picking alone: one picker's adaptive threshold on hand-made onset
// functions, and how the analysis' four pickers make one onset.
#include "music/onset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// A value every 10 ms: background `base`, `peak` on the steps listed.
struct PickCase {
  const char* name;
  float base;
  std::vector<std::pair<int, float>> peaks;  // (step, value)
  std::vector<int> shut;                     // Steps where the gate is shut.
  std::vector<int> onsets;
};

class Picker : public testing::TestWithParam<PickCase> {};

TEST_P(Picker, FiresOnPeaksAboveItsOwnPast) {
  const PickCase& c = GetParam();
  music::OnsetPicker picker(music::Onsets::kPercussiveDelta, music::Onsets::kPercussiveMedian,
                            music::Onsets::kPercussiveLambda);
  std::vector<int> got;
  for (int i = 0; i < 100; ++i) {
    float v = c.base;
    for (const auto& p : c.peaks) v = p.first == i ? p.second : v;
    const bool allowed = std::find(c.shut.begin(), c.shut.end(), i) == c.shut.end();
    if (picker.Next(i / 100.0, v, allowed)) {
      got.push_back(i);
      picker.Fire();
    }
  }
  EXPECT_EQ(got, c.onsets) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Functions, Picker,
    testing::Values(
        // Threshold over a background of 1: 1.5 + 3 * 1 + 0.5 * 1 = 5.
        PickCase{"peaks above the threshold", 1, {{30, 8}, {60, 8}}, {}, {30, 60}},
        PickCase{"a peak at the threshold", 1, {{30, 5}}, {}, {}},
        PickCase{"a loud background raises it", 4, {{30, 8}}, {}, {}},
        // Before 0.1 s of the function the picker does not know its level.
        PickCase{"too early", 1, {{5, 20}, {30, 8}}, {}, {30}},
        // Held above the threshold: once, until it falls below.
        PickCase{"a long peak", 1, {{30, 8}, {31, 9}, {32, 8}, {40, 8}}, {}, {30, 40}},
        PickCase{"the gate shut", 1, {{30, 8}, {60, 8}}, {30}, {60}},
        // A broken stream's values count as silence: they neither fire nor
        // leave the window unable to drop them.
        PickCase{"not a number, then a peak", 1,
                 {{20, std::numeric_limits<float>::quiet_NaN()}, {21, std::numeric_limits<float>::infinity()}, {90, 8}},
                 {}, {90}}));

// The four functions together: any one makes an onset, none closer than
// kMinIoi, and the long spectrum's only when fresh and not just after one.
struct CombineCase {
  const char* name;
  std::vector<std::pair<int, char>> peaks;  // (step of 5 ms, 'p'ercussive, 'c'risp, 't'onal, 'r'ise)
  bool freshEveryStep;                      // Else only on even steps.
  std::vector<int> onsets;
};

class Combined : public testing::TestWithParam<CombineCase> {};

TEST_P(Combined, OneOnsetFromAnyFunction) {
  const CombineCase& c = GetParam();
  music::Onsets onsets;
  std::vector<int> got;
  for (int i = 0; i < 200; ++i) {
    music::Onsets::Values v;
    v.percussive = v.crisp = v.tonal = 0.1f;
    v.rise = 0;
    for (const auto& p : c.peaks) {
      if (p.first != i) continue;
      if (p.second == 'p') v.percussive = 20;
      if (p.second == 'c') v.crisp = 20;
      if (p.second == 't') v.tonal = 20;
      if (p.second == 'r') v.rise = 1;
    }
    v.fresh = c.freshEveryStep || i % 2 == 0;
    if (onsets.Next(i * 0.005, v, true)) got.push_back(i);
  }
  EXPECT_EQ(got, c.onsets) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Functions, Combined,
    testing::Values(CombineCase{"each function alone", {{40, 'p'}, {80, 'c'}, {120, 't'}, {160, 'r'}}, true,
                                {40, 80, 120, 160}},
                    CombineCase{"two at once are one", {{40, 'p'}, {40, 'c'}}, true, {40}},
                    // 45 ms at the least between two.
                    CombineCase{"too close", {{40, 'p'}, {48, 'p'}, {50, 'c'}, {58, 'p'}}, true, {40, 50}},
                    // The long spectrum's own rise just after an onset is that onset's.
                    CombineCase{"tonal just after", {{40, 'p'}, {56, 't'}, {90, 'r'}}, true, {40, 90}},
                    CombineCase{"tonal without a fresh spectrum", {{41, 't'}, {80, 't'}}, false, {80}}));

}  // namespace
