// Onset picking: an onset function's values in, onsets out, against an
// adaptive threshold of its own recent past. Platform-free; causal.
#pragma once
#include <cstddef>
#include <utility>
#include <vector>

namespace music {

class OnsetPicker {
 public:
  // The value must pass delta + median * the median + lambda * the mean of
  // the last kWindowSeconds, having fallen below that since it last fired.
  OnsetPicker(float delta, float median, float lambda) : delta_(delta), median_(median), lambda_(lambda) {}

  // Whether `value` at `time` is an onset by this picker's rule (it learns
  // the value either way). allowed: false while the gate is shut.
  bool Next(double time, float value, bool allowed);
  // The caller took the onset: wait for the value to fall again.
  void Fire() { armed_ = false; }

  static constexpr double kWindowSeconds = 0.5;
  // Until the threshold has seen this much of the function it does not know
  // the signal's own level (a stream may begin in the middle of hiss).
  static constexpr double kSettleSeconds = 0.1;

 private:
  float delta_, median_, lambda_;
  std::vector<std::pair<double, float>> history_;  // (time, value), kWindowSeconds long.
  size_t first_ = 0;
  double sum_ = 0;
  std::vector<float> sorted_;
  bool armed_ = true;
};

}  // namespace music
