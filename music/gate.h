// The silence gate on the louder channel: opens at its level, closes a few
// dB lower and only after a hang, so a note's tail does not flicker it.
// Platform-free.
#pragma once

namespace music {

class SilenceGate {
 public:
  // Levels in dBFS of left and right at `time` seconds; whether it is silent.
  bool Next(const float levelDb[2], double time);
  // The levels come from a waveform of this many bits (the player's: 8):
  // its quantisation noise reads about -45 dBFS, so the gate opens
  // kAboveFloorDb above it. 0: no such floor.
  void SetWaveformBits(int bits);

  double LastLoud() const { return lastLoud_; }  // The last time it was open and loud enough.
  float OpenDb() const { return openDb_; }

  static constexpr float kOpenDb = -60, kCloseDb = -63;
  static constexpr float kAboveFloorDb = 4;
  static constexpr double kHangSeconds = 0.15;

 private:
  float openDb_ = kOpenDb;
  bool open_ = false;
  double lastLoud_ = -1e9;
};

}  // namespace music
