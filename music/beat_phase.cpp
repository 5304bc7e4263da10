#include "music/beat_phase.h"

#include <algorithm>
#include <cmath>

namespace music {

void BeatPhase::Follow(float bpm, double beatTime, double now) {
  const bool changed = bpm_ <= 0 || std::fabs(bpm / bpm_ - 1) > 0.03;
  bpm_ = bpm;
  if (bpm_ <= 0) return;
  period_ = 60.0 / bpm_;
  double predicted = beatTime;
  while (predicted <= now) predicted += period_;
  if (next_ <= 0 || changed) {
    next_ = predicted;
    misses_ = 0;
    stable_ = 0;
  } else {
    // Follow a small drift at once, a large one only when it persists.
    const double d = std::remainder(predicted - next_, period_);
    if (std::fabs(d) < 0.2 * period_) {
      next_ += 0.4 * d;
      misses_ = 0;
      stable_ += std::fabs(d) < 0.05 * period_;
    } else {
      stable_ = 0;
      if (++misses_ >= 3) {
        next_ += d;
        misses_ = 0;
      }
    }
  }
  while (next_ - last_ < 0.6 * period_) next_ += period_;
}

bool BeatPhase::Step(double time, double dt, double lastLoud, float* phase) {
  if (bpm_ <= 0 || next_ <= 0) return false;
  bool beat = false;
  // The step nearest the beat fires it, not the first after it; and while
  // the phase holds, the known delays after this point (the caller's lead)
  // earlier still, so that the lamp lights on the beat.
  const double lead = stable_ >= kStableEstimates ? lead_ : 0;
  if (time + 0.5 * dt >= next_ - lead) {
    // The quiet between a metronome's clicks is still in time; only a real
    // pause stops the beats.
    beat = time - lastLoud < kPauseSeconds;
    last_ = next_;
    while (next_ - lead <= time + 0.5 * dt) next_ += period_;
  }
  *phase = static_cast<float>(std::clamp((time + lead - last_) / period_, 0.0, 0.999));
  return beat;
}

void BeatPhase::Forget() {
  bpm_ = 0;
  next_ = last_ = 0;
  stable_ = 0;
}

}  // namespace music
