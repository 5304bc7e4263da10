// Peak picking: the onset functions' values in, onsets out, each against an
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
  std::vector<float> sorted_;  // The window's values in order: its median at hand.
  bool armed_ = true;
};

// The analysis' four functions picked apart, each against its own past: the
// tonal one's background (a held note's shimmer, hiss made even by
// whitening) would raise the percussive threshold above the quiet hits.
// Any of them makes an onset; no two come closer than kMinIoi.
class Onsets {
 public:
  struct Values {
    float percussive = 0, crisp = 0;  // Of the short spectrum: every step.
    float tonal = 0, rise = 0;        // Of the long spectrum: only where fresh.
    bool fresh = false;               // This step has a long spectrum.
  };
  // Whether the step at `time` is an onset; allowed: false while the gate
  // is shut (the pickers learn the values either way).
  bool Next(double time, const Values& v, bool allowed);

  // Percussive onsets: the flux must pass delta + median * its median +
  // lambda * its mean of the last half second.
  static constexpr float kPercussiveDelta = 1.5f, kPercussiveMedian = 3, kPercussiveLambda = 0.5f;
  // The flux above 3 kHz, with a lower threshold (quiet noise-like hits).
  static constexpr float kCrispDelta = 2.0f, kCrispMedian = 2.5f, kCrispLambda = 0.5f;
  // The tonal function (its values: log rises summed over ~70 bands).
  static constexpr float kTonalDelta = 3, kTonalMedian = 3, kTonalLambda = 0.5f;
  // The mid highs' rise: a fixed 0.33 Np (2.9 dB).
  static constexpr float kRiseNepers = 0.33f;
  static constexpr double kMinIoi = 0.045;
  // How long after an onset the long spectrum's own rise is still that onset's.
  static constexpr double kLongAfter = 0.1;

 private:
  OnsetPicker percussive_{kPercussiveDelta, kPercussiveMedian, kPercussiveLambda};
  OnsetPicker crisp_{kCrispDelta, kCrispMedian, kCrispLambda};
  OnsetPicker tonal_{kTonalDelta, kTonalMedian, kTonalLambda};
  OnsetPicker rise_{kRiseNepers, 0, 0};
  double last_ = -1e9;
};

}  // namespace music
