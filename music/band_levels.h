// The band levels: 16 log-spaced bands of the long spectrum, each against
// a threshold taken from its own last few seconds, towards 1 far above it.
// Platform-free; causal.
#pragma once
#include <cstddef>

#include "music/analysis.h"
#include "music/bands.h"

namespace music {

class BandLevels {
 public:
  BandLevels();

  // One power spectrum (a full-scale sine peaks at 1) of `bins` bins
  // `binHz` apart at `time` seconds; writes the bands' values into band
  // (left as they are, 0 from a fresh Frame, where a band is dark), and
  // nothing while silent: silence is not music, and the history keeps what
  // it learnt before it.
  void Next(const float* power, size_t bins, double binHz, double time, bool silent, float band[kBandCount]);
  // A step without a spectrum: the values of the last one, unless silent.
  void Repeat(bool silent, float band[kBandCount]) const;

  // Each band's level is sampled every kHistoryStep seconds into a window
  // of kHistoryLength samples (3 s); the threshold is its median.
  static constexpr double kHistoryStep = 0.05;
  static constexpr int kHistoryLength = 60;
  // A band this far below a full-scale sine is dark whatever its history:
  // the thresholds adapt, but never so far down that the noise floor lights.
  static constexpr float kFloorDb = -78;
  // How much of the bands' common rise or fall is taken out of each (1: all).
  static constexpr float kCommonShare = 0.85f;
  // Peak follower of each band: up at once, down fast enough that
  // eighth-note hi-hats at 120 BPM fall back between hits (10 dB in 40 ms);
  // the styles' hysteresis and the lamps' hold keep that from flickering.
  static constexpr float kReleaseDbPerSecond = 250;

 private:
  BandMap map_;
  float power_[kBandCount] = {}, envelope_[kBandCount];
  float history_[kBandCount][kHistoryLength];
  int historyCount_ = 0, historyPos_ = 0;
  float median_[kBandCount], spread_[kBandCount];  // Of the history.
  double nextHistory_ = 0;
  float last_[kBandCount] = {};  // The values of the last spectrum,
  double lastTime_ = 0;          // and its time.
};

}  // namespace music
