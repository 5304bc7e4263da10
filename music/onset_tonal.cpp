#include "music/onset_tonal.h"

#include <algorithm>
#include <cmath>

namespace music {
namespace {

constexpr int kBandsPerOctave = 24;  // Quarter tones: a tone apart is two bands apart.
constexpr double kLowHz = 100, kHighHz = 6000;
// Adaptive whitening: each band against its own recent peak, which falls by
// kPeakFallDbPerSecond, so a quiet phrase counts as much as a loud one.
constexpr double kPeakFallDbPerSecond = 4;
constexpr float kCompression = 500;  // log(1 + k x) of the whitened band.

}  // namespace

void TonalFlux::Configure(size_t bins, double binHz) {
  if (map_.bins == bins && map_.binHz == binHz) return;
  const int bands = static_cast<int>(std::lround(kBandsPerOctave * std::log2(kHighHz / kLowHz)));
  map_.Build(bins, binHz, bands, 1.0, kLowHz, kHighHz);
  bands_.assign(map_.bandCount, 0);
  peak_.assign(map_.bandCount, 0);
  now_.assign(map_.bandCount, 0);
  past_.clear();
}

float TonalFlux::Next(const float* power, double time, float floor) {
  const int n = map_.bandCount;
  map_.Apply(power, bands_.data());
  const double dt = std::clamp(time - lastTime_, 0.0, 0.1);
  lastTime_ = time;
  const float fall = static_cast<float>(std::pow(10.0, -kPeakFallDbPerSecond * dt / 10));
  for (int b = 0; b < n; ++b) {
    peak_[b] = std::max({bands_[b], floor, peak_[b] * fall});
    now_[b] = std::log(1 + kCompression * bands_[b] / peak_[b]);
  }
  // The reference: the newest spectrum at least kLagSeconds old.
  while (past_.size() >= 2 && time - past_[1].first >= kLagSeconds) past_.pop_front();
  float flux = 0;
  if (!past_.empty() && time - past_.front().first >= kLagSeconds) {
    const std::vector<float>& then = past_.front().second;
    for (int b = 0; b < n; ++b) {
      float before = then[b];
      if (b > 0) before = std::max(before, then[b - 1]);
      if (b + 1 < n) before = std::max(before, then[b + 1]);
      flux += std::max(0.0f, now_[b] - before);
    }
  }
  past_.emplace_back(time, now_);
  return flux;
}

}  // namespace music
