// The PCM path's spectra: the power spectrum of the newest samples of a
// ring, through a window of its own. Platform-free.
#pragma once
#include <complex>
#include <cstddef>
#include <memory>
#include <vector>

namespace music {

// A hop of about 5 ms (a power of two) at this rate.
int HopAt(int sampleRate);

class Spectrum {
 public:
  Spectrum();
  ~Spectrum();
  Spectrum(const Spectrum&) = delete;
  Spectrum& operator=(const Spectrum&) = delete;

  // n samples (even); fall < 0: a symmetric Hann window; else a half-Hann
  // rise and a half-Hann fall over the last `fall` samples.
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
  std::vector<std::complex<float>> out_;
  std::unique_ptr<Fft> fft_;
};

}  // namespace music
