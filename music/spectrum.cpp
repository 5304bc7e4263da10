#include "music/spectrum.h"

#include <algorithm>
#include <cmath>

#include <kissfft.hh>

namespace music {
namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

int HopAt(int sampleRate) {
  int hop = 128;
  while (hop * 2 <= sampleRate / 150) hop *= 2;
  return hop;
}

float LevelDb(double sumSquares, size_t count) {
  const double ms = sumSquares / count;
  return ms > 0 ? std::max(kLowestDb, static_cast<float>(10 * std::log10(ms) + kFullScaleSineDb)) : kLowestDb;
}

struct Spectrum::Fft {
  kissfft<float> fft{1, false};
};

Spectrum::Spectrum() : fft_(new Fft) {}
Spectrum::~Spectrum() = default;

void Spectrum::Init(int n, int fall) {
  size_ = n;
  fft_->fft.assign(n / 2, false);
  window_.resize(n);
  const int rise = fall < 0 ? n : n - fall;
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    const double w = fall < 0 ? 0.5 - 0.5 * std::cos(2 * kPi * i / n)
                     : i < rise ? 0.5 - 0.5 * std::cos(kPi * i / rise)
                                : 0.5 + 0.5 * std::cos(kPi * (i - rise) / fall);
    window_[i] = static_cast<float>(w);
    sum += w;
  }
  scale_ = static_cast<float>(4 / (sum * sum));
  frame_.resize(n);
  out_.resize(n / 2);
  power_.resize(n / 2 + 1);
}

void Spectrum::Compute(const std::vector<float>& ring, size_t newest) {
  const size_t r = ring.size();
  size_t at = (newest + r - size_) % r;  // The oldest sample used.
  for (int i = 0; i < size_; ++i, at = at + 1 == r ? 0 : at + 1) frame_[i] = ring[at] * window_[i];
  fft_->fft.transform_real(frame_.data(), out_.data());
  const int half = size_ / 2;
  power_[0] = 0;  // DC carries no music.
  for (int k = 1; k < half; ++k) power_[k] = std::norm(out_[k]) * scale_;
  power_[half] = out_[0].imag() * out_[0].imag() * scale_;
}

PcmHops::PcmHops(int sampleRate, int channels)
    : rate_(sampleRate), channels_(channels), hop_(HopAt(sampleRate)), ring_(8 * hop_, 0) {
  // The long window symmetric (a tone stays in its band); the short one
  // two hops, falling over the newest half hop only, so the newest samples
  // weigh nearly fully (an attack shows at once).
  band_.Init(8 * hop_, -1);
  onset_.Init(2 * hop_, hop_ / 2);
}

const Hop& PcmHops::Step() {
  for (int c = 0; c < 2; ++c) {
    last_.levelDb[c] = LevelDb(sumSquares_[c], hop_);
    sumSquares_[c] = 0;
  }
  const float level = std::max(last_.levelDb[0], last_.levelDb[1]);
  const bool bandStep = hopsToBand_ == 0 || level > std::min(hopLevel_[0], hopLevel_[1]) + kAttackDb;
  hopLevel_[1] = hopLevel_[0];
  hopLevel_[0] = level;
  hopsToBand_ = bandStep ? kBandHops - 1 : hopsToBand_ - 1;
  if (bandStep) band_.Compute(ring_, ringPos_);
  onset_.Compute(ring_, ringPos_);
  last_.time = static_cast<double>(samplesDone_) / rate_;
  last_.band = bandStep ? &band_ : nullptr;
  last_.onset = &onset_;
  return last_;
}

}  // namespace music
