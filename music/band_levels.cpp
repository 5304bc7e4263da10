#include "music/band_levels.h"

#include <algorithm>
#include <cmath>

namespace music {
namespace {

float ToDb(double power) { return static_cast<float>(10 * std::log10(power + 1e-14)); }

// Median and quartiles of a small window (the band histories).
void Quartiles(const float* values, int count, float* q1, float* median, float* q3) {
  float sorted[BandLevels::kHistoryLength] = {};  // An empty history reads 0.
  std::copy(values, values + count, sorted);
  std::sort(sorted, sorted + count);
  *q1 = sorted[count / 4];
  *median = sorted[count / 2];
  *q3 = sorted[(3 * count) / 4];
}

}  // namespace

BandLevels::BandLevels() { std::fill(envelope_, envelope_ + kBandCount, -140.0f); }

void BandLevels::Next(const float* pw, size_t bins, double binHz, double time, bool silent, float band[kBandCount]) {
  if (map_.bins != bins || map_.binHz != binHz) map_.Build(bins, binHz, kBandCount, 0);
  const double dt = std::clamp(time - lastTime_, 0.0, 0.1);
  lastTime_ = time;
  map_.Apply(pw, power_);
  float level[kBandCount];
  for (int b = 0; b < kBandCount; ++b) {
    level[b] = ToDb(power_[b]);
    envelope_[b] = std::max(level[b], envelope_[b] - static_cast<float>(kReleaseDbPerSecond * dt));
  }
  if (!silent && time >= nextHistory_) {
    nextHistory_ = time + kHistoryStep;
    for (int b = 0; b < kBandCount; ++b) history_[b][historyPos_] = envelope_[b];
    historyPos_ = (historyPos_ + 1) % kHistoryLength;
    historyCount_ = std::min(historyCount_ + 1, kHistoryLength);
    for (int b = 0; b < kBandCount; ++b) {
      float q1, q3;
      Quartiles(history_[b], historyCount_, &q1, &median_[b], &q3);
      spread_[b] = std::clamp(q3 - q1, 3.0f, 12.0f);
    }
  }
  if (!silent && historyCount_ > 0) {
    // Each band against its own recent median, in units of its spread; then
    // the common part of all bands is taken partly out, so that a crescendo
    // does not light everything and a diminuendo does not darken everything.
    float deviation[kBandCount], sortedDev[kBandCount], spectralMedian[kBandCount];
    int live = 0;
    for (int b = 0; b < kBandCount; ++b) {
      deviation[b] = (envelope_[b] - median_[b]) / spread_[b];
      spectralMedian[b] = envelope_[b];
      if (envelope_[b] > kFloorDb) sortedDev[live++] = deviation[b];
    }
    std::nth_element(spectralMedian, spectralMedian + kBandCount / 2, spectralMedian + kBandCount);
    const float typical = spectralMedian[kBandCount / 2];
    const float loudest = *std::max_element(envelope_, envelope_ + kBandCount);
    float common = 0;
    if (live > 0) {
      std::nth_element(sortedDev, sortedDev + live / 2, sortedDev + live);
      common = sortedDev[live / 2];
    }
    for (int b = 0; b < kBandCount; ++b) {
      if (envelope_[b] <= kFloorDb) continue;
      // A band that towers over the rest (a held tone) stays lit even when
      // its own history has caught up with it.
      const float towering = envelope_[b] >= loudest - 3 ? std::max(0.0f, (envelope_[b] - typical - 20) / 6) : 0;
      const float score = deviation[b] - kCommonShare * common + towering;
      band[b] = score > 0 ? 1 - std::exp(-score) : 0;
    }
  }
  std::copy(band, band + kBandCount, last_);
}

void BandLevels::Repeat(bool silent, float band[kBandCount]) const {
  if (!silent) std::copy(last_, last_ + kBandCount, band);
}

}  // namespace music
