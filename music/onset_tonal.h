// The tonal onset function: new notes in the long (band) spectrum, where two
// notes a tone apart fall in bins of their own, so their beating is not
// read as onsets and a soft attack shows as a rise over tens of ms.
// Platform-free; causal (each value uses only spectra already computed).
#pragma once
#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

#include "music/bands.h"

namespace music {

class TonalFlux {
 public:
  // A spectrum of `bins` power bins `binHz` apart; rebuilt only on a change.
  void Configure(size_t bins, double binHz);
  // One power spectrum (a full-scale sine peaks at 1) at `time` seconds;
  // floor: the power below which a band counts as empty (the caller's
  // smallest step). Returns the rise of the whitened, log-compressed bands
  // over the spectrum of kLagSeconds before, summed, each band against the
  // larger of its neighbours then (a vibrato or a glide is no new note).
  float Next(const float* power, double time, float floor);

  // The long window (43 ms) already spreads an attack: 20 ms back catches
  // the rise of a 100 ms attack without blurring two quick notes together.
  static constexpr double kLagSeconds = 0.02;

 private:
  BandMap map_;
  std::vector<float> bands_, peak_, now_;
  std::deque<std::pair<double, std::vector<float>>> past_;  // (time, compressed bands), oldest first.
  double lastTime_ = 0;
};

}  // namespace music
