// Hand-made power spectra for the stages' tests: flat, with a frequency
// range raised; bins as the analysis lays them (bin i centred at i * binHz).
#pragma once
#include <cmath>
#include <cstddef>
#include <vector>

namespace music_test {

// Every bin at baseDb (power, a full-scale sine's peak 0 dB); the bins lying
// wholly inside [lowHz, highHz) raised by upDb; DC 0.
inline std::vector<float> FlatSpectrum(size_t bins, double binHz, double baseDb, double lowHz = 0,
                                       double highHz = 0, double upDb = 0) {
  std::vector<float> p(bins);
  for (size_t i = 1; i < bins; ++i) {
    const bool inside = (i - 0.5) * binHz >= lowHz && (i + 0.5) * binHz <= highHz;
    p[i] = static_cast<float>(std::pow(10.0, (baseDb + (inside ? upDb : 0)) / 10));
  }
  return p;
}

// The edges of band b of the analysis' 16 log-spaced bands, 40 Hz to 16 kHz.
inline void BandEdges(int b, double* lowHz, double* highHz) {
  const double ratio = std::pow(16000.0 / 40, 1.0 / 16);
  *lowHz = 40 * std::pow(ratio, b);
  *highHz = *lowHz * ratio;
}

}  // namespace music_test
