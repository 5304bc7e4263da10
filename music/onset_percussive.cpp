#include "music/onset_percussive.h"

#include <algorithm>
#include <cmath>

namespace music {

void PercussiveFlux::Configure(size_t bins, double binHz) {
  if (map_.bins == bins && map_.binHz == binHz) return;
  map_.Build(bins, binHz, kBands, 1.0f);
  for (auto& v : log_) v.assign(map_.bandCount, 0);
  // A wide band averages its noise away, so its rise is the surer sign:
  // weigh each band by the root of its width in bins.
  weight_.assign(map_.bandCount, 0);
  for (const BandMap::Entry& e : map_.entries) weight_[e.band] += e.weight;
  double total = 0;
  for (float& w : weight_) total += w = std::pow(w, 0.5f);
  for (float& w : weight_) w = static_cast<float>(w * weight_.size() / total);
  // The tempo's onset strength: the cymbals' many narrow bands would
  // outvote the drums' few, and make eighth-note hi-hats the beat. The
  // weight falls as 1/f above the knee (see docs/music-bench.md).
  std::vector<double> centre(map_.bandCount, 0), width(map_.bandCount, 0);
  for (const BandMap::Entry& e : map_.entries) {
    centre[e.band] += e.weight * e.bin * binHz;
    width[e.band] += e.weight;
  }
  tempoWeight_.assign(map_.bandCount, 0);
  bodyWeight_.assign(map_.bandCount, 0);
  crispWeight_.assign(map_.bandCount, 0);
  for (int b = 0; b < map_.bandCount; ++b) {
    const double hz = width[b] > 0 ? centre[b] / width[b] : 0;
    tempoWeight_[b] = static_cast<float>(kTempoKneeHz / (kTempoKneeHz + hz));
    bodyWeight_[b] = hz <= kBodyHz ? 1.0f : 0.0f;
    crispWeight_[b] = hz >= kCrispHz ? weight_[b] : 0.0f;
  }
  steps_ = 0;
}

PercussiveValues PercussiveFlux::Next(const float* pw, size_t bins, double binHz) {
  Configure(bins, binHz);
  const int n = map_.bandCount;
  bands_.resize(n);
  now_.resize(n);

  map_.Apply(pw, bands_.data());
  std::vector<float>& older = log_[steps_ % 2];  // Two steps back.
  PercussiveValues v;
  for (int b = 0; b < n; ++b) now_[b] = std::log(1 + std::sqrt(bands_[b]) / knee_);
  // The log rises say little of where the hit's power is (a hi-hat rises
  // in the low bands too); the linear power's rise does: its share below
  // kBodyHz is the body's part of the tempo's strength.
  double power[2] = {0, 0};
  for (int b = 0; b < n; ++b) {
    power[0] += bodyWeight_[b] > 0 ? bands_[b] : 0;
    power[1] += bands_[b];
  }
  double* olderPower = powerLog_[steps_ % 2];
  const double bodyRise = std::max(0.0, power[0] - olderPower[0]), rise = std::max(0.0, power[1] - olderPower[1]);
  const float bodyShare = rise > 0 ? static_cast<float>(std::min(1.0, bodyRise / rise)) : 0.0f;
  olderPower[0] = power[0];
  olderPower[1] = power[1];
  if (steps_ >= 2) {
    for (int b = 0; b < n; ++b) {
      float before = older[b];
      if (b > 0) before = std::max(before, older[b - 1]);
      if (b + 1 < n) before = std::max(before, older[b + 1]);
      const float up = std::max(0.0f, now_[b] - before);
      v.flux += weight_[b] * up;
      v.tempo += tempoWeight_[b] * up;
      v.crisp += crispWeight_[b] * up;
    }
  }
  v.body = bodyShare * v.tempo;
  older.swap(now_);
  ++steps_;
  return v;
}

}  // namespace music
