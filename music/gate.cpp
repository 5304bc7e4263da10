#include "music/gate.h"

#include <algorithm>
#include <cmath>

#include "music/analysis.h"

namespace music {

bool SilenceGate::Next(const float levelDb[2], double time) {
  const float level = std::max(levelDb[0], levelDb[1]);
  if (level >= openDb_) {
    open_ = true;
    lastLoud_ = time;
  } else if (level >= openDb_ + kCloseDb - kOpenDb && open_) {
    lastLoud_ = time;
  } else if (time - lastLoud_ > kHangSeconds) {
    open_ = false;
  }
  return !open_;
}

void SilenceGate::SetWaveformBits(int bits) {
  if (bits <= 0) return;
  const float floorDb = static_cast<float>(20 * std::log10(std::pow(2.0, 1 - bits)) - kFullScaleSineDb);
  openDb_ = std::max(kOpenDb, floorDb + kAboveFloorDb);
}

}  // namespace music
