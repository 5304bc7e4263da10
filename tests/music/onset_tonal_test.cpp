// The tonal onset function alone, on hand-made long spectra of partials: a
// new note rises, a held one does not, nor a vibrato into the next band;
// whitened, so a quiet note counts as much as a loud one.
#include "music/onset_tonal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr size_t kBins = 1025;  // The PCM path's long spectrum at 48 kHz.
constexpr double kBinHz = 48000.0 / 2048;
constexpr float kFloor = 1e-12f;  // The PCM path's: its knee, squared (about -90 dB).

// Partials at these frequencies, each at powerDb; nothing elsewhere.
std::vector<float> Partials(const std::vector<double>& hz, double powerDb) {
  std::vector<float> p(kBins, 1e-20f);
  for (double f : hz) p[static_cast<size_t>(std::lround(f / kBinHz))] = static_cast<float>(std::pow(10.0, powerDb / 10));
  return p;
}

struct NoteCase {
  const char* name;
  std::vector<double> before, after;  // Partials for 1 s, then for 0.1 s.
  double powerDb;
  float minPeak, maxPeak;             // The function's largest value after the change.
};

class TonalNote : public testing::TestWithParam<NoteCase> {};

TEST_P(TonalNote, RisesOnNewNotesOnly) {
  const NoteCase& c = GetParam();
  music::TonalFlux tonal;
  tonal.Configure(kBins, kBinHz);
  const std::vector<float> before = Partials(c.before, c.powerDb), after = Partials(c.after, c.powerDb);
  double t = 0;
  float settled = 0;
  for (; t < 1; t += 0.01) settled = tonal.Next(before.data(), t, kFloor);
  EXPECT_NEAR(settled, 0, 1e-6) << c.name << ": a steady spectrum";
  float peak = 0;
  for (const double end = t + 0.1; t < end; t += 0.01) peak = std::max(peak, tonal.Next(after.data(), t, kFloor));
  EXPECT_GE(peak, c.minPeak) << c.name;
  EXPECT_LE(peak, c.maxPeak) << c.name;
}

// The analysis picks its onsets above about 3 (music/onset.h's kTonalDelta).
INSTANTIATE_TEST_SUITE_P(
    Notes, TonalNote,
    testing::Values(
        NoteCase{"a new note over silence", {}, {440, 880, 1320}, -30, 12, 1e9},
        NoteCase{"a new note over a held one", {440, 880}, {440, 880, 587, 1174}, -30, 8, 1e9},
        NoteCase{"a quiet new note", {}, {440, 880, 1320}, -70, 12, 1e9},
        NoteCase{"the same notes held", {440, 880}, {440, 880}, -30, 0, 1e-6f},
        // A quarter tone up (the next band, two bins up at 1.8 kHz): its
        // neighbour was full before.
        NoteCase{"a vibrato", {1760, 3520}, {1811, 3623}, -30, 0, 1},
        // The floor keeps what lies far below it from being whitened to
        // full scale (the player's one-step flicker).
        NoteCase{"far under the floor", {}, {440, 880, 1320}, -160, 0, 0.5f}));

}  // namespace
