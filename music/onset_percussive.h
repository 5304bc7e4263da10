// The percussive onset function: spectral flux of the short spectrum on
// log band levels, a third of a band each. Besides the flux it gives the
// tempo's onset strength (weighted towards the lows), the part of it that is
// the hit's body (its power below kBodyHz) and the flux above kCrispHz.
// Platform-free; causal.
#pragma once
#include <cstddef>
#include <vector>

#include "music/bands.h"

namespace music {

// The knee of the log compression on the PCM path: -90 dB.
constexpr float kFluxKnee = 3e-5f;

struct PercussiveValues {
  float flux = 0;   // Weighted by the root of each band's width.
  float tempo = 0;  // Weighted by kTempoKneeHz / (kTempoKneeHz + the band's centre).
  float body = 0;   // The share of tempo whose power rose below kBodyHz.
  float crisp = 0;  // The flux of the bands above kCrispHz.
};

class PercussiveFlux {
 public:
  // A power spectrum (a full-scale sine peaks at 1) of `bins` bins `binHz`
  // apart; each band's rise over the step before last, against the larger
  // of its neighbours then (so a vibrato or a glide is not a new note).
  PercussiveValues Next(const float* power, size_t bins, double binHz);
  // Log compression with its knee here (the player's spectrum: its smallest
  // step): a hit stands out at any level; hiss is kept out by the picker's
  // threshold, which follows the flux's median.
  void SetKnee(float knee) { knee_ = knee; }
  float Knee() const { return knee_; }

  static constexpr int kBands = 48;  // Fine enough to tell a new note from the ones that ring on.
  static constexpr double kTempoKneeHz = 400;
  // The tempo's body: the bands up to here, where kicks, snares and toms
  // have their tone and hi-hats next to nothing.
  static constexpr double kBodyHz = 300;
  // Quiet noise-like hits (ghost snares under a mix) rise above 3 kHz,
  // where little else does.
  static constexpr double kCrispHz = 3000;

 private:
  void Configure(size_t bins, double binHz);

  BandMap map_;
  float knee_ = kFluxKnee;
  std::vector<float> log_[2], now_, bands_;  // Log band levels, two steps back.
  double powerLog_[2][2] = {};               // The power of the body's bands and of all, two steps back.
  std::vector<float> weight_, tempoWeight_, bodyWeight_, crispWeight_;
  int steps_ = 0;
};

}  // namespace music
