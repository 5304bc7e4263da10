// The mid highs' rise: the onset function of quiet noise-like hits.
// Platform-free; causal.
#pragma once
#include <cstddef>
#include <deque>
#include <utility>

namespace music {

// A quiet noise-like hit (a ghost snare) under a pad and an open hi-hat's
// tail: the mid highs, where the pad's harmonics are faint and the hat's
// tilted noise weak, all rise at once. Returns the mean rise, in nepers, of
// the bins from kLowHz to kHighHz over the spectrum of kLagSeconds before:
// a note rises in a few bins, a decaying tail falls in all of them, a hit
// lifts every one.
class HighsRise {
 public:
  // One power spectrum of `bins` bins `binHz` apart at `time` seconds;
  // floor: the power below which a bin counts as empty.
  float Next(const float* power, size_t bins, double binHz, double time, float floor);

  static constexpr double kLowHz = 1000, kHighHz = 3000, kLagSeconds = 0.02;

 private:
  size_t count_ = 0;                            // Bins in the range.
  std::deque<std::pair<double, double>> past_;  // (time, the bins' summed log power), oldest first.
};

}  // namespace music
