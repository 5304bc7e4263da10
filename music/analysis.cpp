// The analysis chain, one step at a time, each stage in its own files:
//   PCM -> spectrum.h: per hop the levels, a short spectrum (onsets) and
//          at times a long one (bands, tonal onsets)
//   or the player's spectrum (for both)
//   -> gate.h (silence), band_levels.h (16 lamps' bands),
//      onset_percussive.h, onset_tonal.h, onset_rise.h (onset functions),
//      onset.h (peak picking), tempo.h (tempo), beat_phase.h (beats).
// Everything is causal: nothing waits for samples not yet heard.
#include "music/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "music/band_levels.h"
#include "music/beat_phase.h"
#include "music/gate.h"
#include "music/onset.h"
#include "music/onset_percussive.h"
#include "music/onset_rise.h"
#include "music/onset_tonal.h"
#include "music/spectrum.h"
#include "music/tempo.h"

namespace music {
namespace {

// The tonal functions' floor on the player's spectrum, in its steps (the
// PCM path's: the flux's knee): their whitening would lift a one-step
// flicker to full scale.
constexpr float kTonalFloorSteps = 16;

}  // namespace

struct Analyzer::State {
  AnalyzerOptions options;
  PcmHops pcm;
  SilenceGate gate;
  BandLevels bands;
  PercussiveFlux percussive;
  TonalFlux tonal;
  HighsRise rise;
  Onsets onsets;
  TempoTracker tempo;
  BeatPhase beats;
  int64_t cellIndex = -1, cellBase = 0;  // The tempo cell being filled; the tracker's first.
  float cellStrength = 0, cellBody = 0;
  double previousTime = 0;

  explicit State(const AnalyzerOptions& o)
      : options(Clamped(o)), pcm(options.sampleRate, options.channels), beats(o.beatLeadSeconds) {}

  static AnalyzerOptions Clamped(AnalyzerOptions o) {
    o.sampleRate = std::clamp(o.sampleRate, 8000, 192000);
    o.channels = std::clamp(o.channels, 1, 2);
    return o;
  }

  // The step's onset strength goes to the tempo cell of its middle (a
  // frame's time is its end), so that beats taken at a cell's centre fall
  // on the hits, not half a step after them.
  void Tempo(Frame* f, const PercussiveValues& p, double dt) {
    const int64_t index = static_cast<int64_t>(std::floor((f->time - 0.5 * dt) / kTempoCellSeconds));
    if (cellIndex < 0) cellIndex = cellBase = index;
    while (cellIndex < index) {
      ++cellIndex;
      const bool estimated = tempo.AddCell(cellStrength, cellBody);
      cellStrength = cellBody = 0;
      if (!estimated) continue;
      const float bpm = tempo.Bpm();
      double beatTime = 0;
      if (bpm > 0) {
        const int64_t last = tempo.CellsDone() - 1;
        const double bestPhase = tempo.BestPhase(60 / (bpm * kTempoCellSeconds), last);
        beatTime = (cellBase + last - bestPhase + 0.5) * kTempoCellSeconds;
      }
      beats.Follow(bpm, beatTime, previousTime);
    }
    // The body of the step whose strength the cell keeps: a hi-hat just
    // after a kick keeps neither.
    if (!f->silent && p.tempo > cellStrength) cellStrength = p.tempo, cellBody = p.body;

    if (f->time - gate.LastLoud() > BeatPhase::kForgetSeconds) {
      tempo.Reset();
      beats.Forget();
    }
    f->bpm = beats.Bpm();
    f->beat = beats.Step(f->time, dt, gate.LastLoud(), &f->beatPhase);
    previousTime = f->time;
  }

  // pw: the band spectrum, or null on a step without one (the bands keep
  // their last values, the tonal functions wait).
  Frame Process(const float* pw, size_t bins, double binHz, const float* onsetPw, size_t onsetBins,
                double onsetBinHz, const float levelDb[2], double time) {
    Frame f;
    f.time = time;
    f.levelDb[0] = levelDb[0];
    f.levelDb[1] = levelDb[1];
    const double dt = std::clamp(time - previousTime, 0.0, 0.1);
    f.silent = gate.Next(levelDb, time);
    Onsets::Values v;
    if (pw != nullptr) {
      bands.Next(pw, bins, binHz, time, f.silent, f.band);
      tonal.Configure(bins, binHz);
      const float knee = percussive.Knee();
      const float floor = knee > kFluxKnee ? kTonalFloorSteps * knee : knee;
      v.tonal = tonal.Next(pw, time, floor * floor);
      v.rise = rise.Next(pw, bins, binHz, time, floor * floor);
      v.fresh = true;
    } else {
      bands.Repeat(f.silent, f.band);
    }
    const PercussiveValues p = percussive.Next(onsetPw, onsetBins, onsetBinHz);
    f.flux = v.percussive = p.flux;
    v.crisp = p.crisp;
    f.onset = onsets.Next(time, v, !f.silent);
    Tempo(&f, p, dt);
    return f;
  }

  Frame Process(const Hop& h) {
    const double rate = options.sampleRate;
    const std::vector<float>& onset = h.onset->Power();
    if (h.band == nullptr) {
      return Process(nullptr, 0, 0, onset.data(), onset.size(), rate / h.onset->Size(), h.levelDb, h.time);
    }
    const std::vector<float>& band = h.band->Power();
    return Process(band.data(), band.size(), rate / h.band->Size(), onset.data(), onset.size(),
                   rate / h.onset->Size(), h.levelDb, h.time);
  }
};

Analyzer::Analyzer(const AnalyzerOptions& options) : state_(new State(options)) {}
Analyzer::~Analyzer() = default;

void Analyzer::Feed(const float* interleaved, size_t frames, std::vector<Frame>* out) {
  state_->pcm.Feed(interleaved, frames, [&](const Hop& hop) { out->push_back(state_->Process(hop)); });
}

Frame Analyzer::FeedSpectrum(const float* magnitudes, size_t bins, double binHz,
                             const float levelDb[2], double time) {
  State& s = *state_;
  const float scale = s.options.spectrumFullScale > 0 ? 1 / s.options.spectrumFullScale : 1;
  // The caller's own full scale sets the floors: a spectrum in whole steps
  // (the player's 0-255) flickers by one step where nothing plays, and an
  // 8-bit waveform reads its quantisation noise as a level.
  s.percussive.SetKnee(std::max(kFluxKnee, scale));
  s.gate.SetWaveformBits(s.options.waveformBits);
  std::vector<float> pw(bins);
  for (size_t i = 0; i < bins; ++i) {
    const float m = magnitudes[i] * scale;
    pw[i] = i == 0 ? 0 : m * m;
  }
  return s.Process(pw.data(), bins, binHz, pw.data(), bins, binHz, levelDb, time);
}

double Analyzer::StepSeconds() const {
  return static_cast<double>(state_->pcm.HopSamples()) / state_->options.sampleRate;
}

double Analyzer::StepSecondsAt(int sampleRate) {
  sampleRate = std::clamp(sampleRate, 8000, 192000);
  return static_cast<double>(HopAt(sampleRate)) / sampleRate;
}

float RmsDb(const float* samples, size_t count, size_t stride) {
  if (count == 0) return kLowestDb;
  double sum = 0;
  for (size_t i = 0; i < count; ++i) {
    const double v = samples[i * stride];
    sum += v * v;
  }
  return LevelDb(sum, count);
}

}  // namespace music
