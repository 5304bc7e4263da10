// The PCM path's front: samples in, every hop of about 5 ms their levels
// and two spectra out, a short one (onsets) every hop and a long one (bands,
// tonal onsets) every kBandHops-th hop and on an attack. Platform-free.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "music/analysis.h"

namespace music {

// A hop of about 5 ms (a power of two) at this rate.
int HopAt(int sampleRate);
// The level in dBFS of count samples whose squares sum to sumSquares.
float LevelDb(double sumSquares, size_t count);

// The power spectrum of the newest samples of a ring, through a window of
// its own.
class Spectrum {
 public:
  Spectrum();
  ~Spectrum();
  Spectrum(const Spectrum&) = delete;
  Spectrum& operator=(const Spectrum&) = delete;

  // n samples (a power of two, at least 8); fall < 0: a symmetric Hann
  // window; else a half-Hann rise and a half-Hann fall over the last `fall`
  // samples.
  void Init(int n, int fall);
  // The newest Size() samples of the ring, `newest` one past the newest.
  void Compute(const std::vector<float>& ring, size_t newest);

  int Size() const { return size_; }
  // n / 2 + 1 bins, scaled so that a full-scale sine peaks at 1; DC is 0.
  const std::vector<float>& Power() const { return power_; }

 private:
  struct Fft;
  int size_ = 0;
  float scale_ = 1;
  std::vector<float> window_, frame_, power_;
  std::unique_ptr<Fft> fft_;
};

// One hop of the PCM path.
struct Hop {
  double time = 0;        // Seconds since the stream began, at the hop's end.
  float levelDb[2] = {};  // Left and right (mono: both).
  const Spectrum* band = nullptr;   // The long spectrum; null on a hop without one.
  const Spectrum* onset = nullptr;  // The short spectrum.
};

class PcmHops {
 public:
  // A rate from 8000 to 192000, 1 or 2 channels.
  PcmHops(int sampleRate, int channels);

  // Interleaved samples in [-1, 1]; calls onHop(const Hop&) at each hop's end.
  template <class OnHop>
  void Feed(const float* interleaved, size_t frames, OnHop onHop) {
    while (frames > 0) {
      // To the hop's end or the ring's, whichever comes first: no test a sample.
      const size_t n = std::min(frames, std::min(hop_ - inHop_, ring_.size() - ringPos_));
      Take(interleaved, n);
      interleaved += n * channels_;
      frames -= n;
      if (inHop_ == hop_) {
        inHop_ = 0;
        onHop(Step());
      }
    }
  }
  int HopSamples() const { return static_cast<int>(hop_); }

  // The long spectrum every this many hops (about 10 ms: a band lamp
  // reaches its line slot at most half a slot late), and at once on a hop
  // this much louder than one of the two before. It is most of the
  // analysis' cost.
  static constexpr int kBandHops = 2;
  static constexpr float kAttackDb = 6;

 private:
  void Take(const float* interleaved, size_t frames);  // Within one hop and one pass of the ring.
  const Hop& Step();

  int rate_, channels_;
  size_t hop_;
  std::vector<float> ring_;  // The long spectrum's length: eight hops.
  Spectrum band_, onset_;
  size_t ringPos_ = 0, inHop_ = 0;
  int hopsToBand_ = 0;                         // Hops until the next long spectrum.
  float hopLevel_[2] = {kLowestDb, kLowestDb};  // The last two hops' levels.
  uint64_t samplesDone_ = 0;
  double sumSquares_[2] = {0, 0};
  Hop last_;
};

}  // namespace music
