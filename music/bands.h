// Bin-to-band mapping shared by the band, onset and tonal stages.
// Platform-free.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace music {

// Bin-to-band weights: bin i covers [i - 1/2, i + 1/2) * binHz; a band takes
// the part of each bin that lies inside it, so a band narrower than a bin
// still gets its share instead of nothing.
struct BandMap {
  struct Entry {
    int bin, band;
    float weight;
  };
  std::vector<Entry> entries;
  size_t bins = 0;
  double binHz = 0;

  int bandCount = 0;

  // `bands` log-spaced bands from lowHz to highHz; none narrower than
  // minBins bins (so there may be fewer).
  void Build(size_t binCount, double hz, int bands, double minBins, double lowHz = 40, double highHz = 16000) {
    bins = binCount;
    binHz = hz;
    entries.clear();
    const double ratio = std::pow(highHz / lowHz, 1.0 / bands);
    double lo = lowHz;
    bandCount = 0;
    for (int b = 0; lo < highHz * 0.999; ++b) {
      const double hi = std::min(highHz, std::max(lo * ratio, lo + minBins * hz));
      for (size_t i = 0; i < binCount; ++i) {
        const double a = std::max(lo, (i - 0.5) * hz), z = std::min(hi, (i + 0.5) * hz);
        if (z > a) entries.push_back({static_cast<int>(i), b, static_cast<float>((z - a) / hz)});
      }
      lo = hi;
      bandCount = b + 1;
    }
  }
  void Apply(const float* power, float* out) const {
    std::fill(out, out + bandCount, 0.0f);
    for (const Entry& e : entries) out[e.band] += e.weight * power[e.bin];
  }
};

}  // namespace music
