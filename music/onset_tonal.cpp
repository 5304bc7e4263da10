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

float NoiseRise::Next(const float* power, size_t bins, double binHz, double time, float floor) {
  const size_t first = static_cast<size_t>(std::ceil(kLowHz / binHz));
  const size_t last = std::min(bins, static_cast<size_t>(kHighHz / binHz) + 1);
  // The mean of the bins' log rises is the rise of their summed logs: one
  // sum a step, its logs taken of products of 16 bins (no underflow in a
  // double, however far below full scale), so the cost is a few logs.
  double logs = 0, product = 1;
  for (size_t i = first; i < last; ++i) {
    product *= std::max(power[i], floor);
    if ((i - first) % 16 == 15) logs += std::log(product), product = 1;
  }
  logs += std::log(product);
  const size_t count = last > first ? last - first : 0;
  if (count != count_) past_.clear(), count_ = count;
  while (past_.size() >= 2 && time - past_[1].first >= kLagSeconds) past_.pop_front();
  float rise = 0;
  if (count > 0 && !past_.empty() && time - past_.front().first >= kLagSeconds) {
    rise = static_cast<float>(0.5 * (logs - past_.front().second) / count);  // Nepers: half the power's.
  }
  past_.emplace_back(time, logs);
  return rise;
}

}  // namespace music
