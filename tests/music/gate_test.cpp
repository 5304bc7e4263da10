// The silence gate alone: where it opens, how long a tail keeps it open,
// and the player's 8-bit waveform floor.
#include "music/gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct GateCase {
  const char* name;
  int waveformBits;               // 0: the PCM path.
  std::vector<float> levels;      // One a step, 10 ms apart.
  std::string silent;             // Expected, one character a step: 's' silent, '.' open.
};

class Gate : public testing::TestWithParam<GateCase> {};

TEST_P(Gate, OpensClosesAndHangs) {
  const GateCase& c = GetParam();
  ASSERT_EQ(c.levels.size(), c.silent.size());
  music::SilenceGate gate;
  gate.SetWaveformBits(c.waveformBits);
  std::string got;
  for (size_t i = 0; i < c.levels.size(); ++i) {
    const float both[2] = {c.levels[i], -120};
    got += gate.Next(both, i / 100.0) ? 's' : '.';
  }
  EXPECT_EQ(got, c.silent) << c.name;
}

std::vector<float> Steps(std::initializer_list<std::pair<float, int>> runs) {
  std::vector<float> out;
  for (const auto& r : runs) out.insert(out.end(), r.second, r.first);
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Levels, Gate,
    testing::Values(
        GateCase{"opens at -60, not below", 0, Steps({{-61, 3}, {-60, 2}}), "sss.."},
        // Between -60 and -63 an open gate stays open, a shut one shut.
        GateCase{"a tail above -63 holds it", 0, Steps({{-62, 2}, {-50, 1}, {-62, 30}}),
                 "ss" + std::string(31, '.')},
        // Below -63 it closes once 0.15 s have passed since the last loud step.
        GateCase{"closes after the hang", 0, Steps({{-50, 1}, {-70, 20}}),
                 std::string(16, '.') + std::string(5, 's')},
        GateCase{"a short dip does not close it", 0, Steps({{-50, 1}, {-70, 10}, {-50, 1}, {-70, 5}}),
                 std::string(17, '.')},
        // The player's 8-bit waveform reads its quantisation noise near
        // -45 dBFS: the gate opens 4 dB above that, not at -60.
        GateCase{"8-bit floor", 8, Steps({{-50, 2}, {-42, 2}, {-40, 2}}), "ssss.."},
        GateCase{"16-bit floor is below -60", 16, Steps({{-61, 2}, {-59, 2}}), "ss.."}));

TEST(Gate, LastLoudIsTheLastStepAtOrAboveTheClosingLevel) {
  music::SilenceGate gate;
  const float loud[2] = {-30, -120}, tail[2] = {-120, -62}, quiet[2] = {-80, -80};
  gate.Next(loud, 1.0);
  gate.Next(tail, 1.5);
  gate.Next(quiet, 2.0);
  EXPECT_DOUBLE_EQ(gate.LastLoud(), 1.5);
}

}  // namespace
