// The analysis chain, one step at a time:
//   PCM hop -> 2-hop FFT (onsets), every kBandHops-th hop (and on an attack) an 8-hop Hann FFT
//              (bands, tonal onsets) ----------------------> Process()
//   player spectrum (for both) ----------------------------> Process()
// Process(): 16 band levels against per-band thresholds taken from the last
// few seconds, the silence gate, onsets from the percussive flux (short
// spectrum) and the tonal flux and the mid highs' rise (long spectrum,
// music/onset_tonal.h), each picked by music/onset.h, and the tempo
// (music/tempo.h) and beat stages.
// Everything is causal: nothing waits for samples not yet heard.
#include "music/analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>

#include <kissfft.hh>

#include "music/bands.h"
#include "music/onset.h"
#include "music/onset_tonal.h"
#include "music/tempo.h"

namespace music {
namespace {

// A hop of about 5 ms (a power of two) at this (clamped) rate.
int HopAt(int sampleRate) {
  int hop = 128;
  while (hop * 2 <= sampleRate / 150) hop *= 2;
  return hop;
}

constexpr double kPi = 3.14159265358979323846;
constexpr int kFluxBands = 48;  // A third of a band each (but at least a bin wide):
                                // fine enough to tell a new note from the ones
                                // that ring on.
constexpr float kFluxKnee = 3e-5f;  // -90 dB: the PCM path's.
// The tonal function's picker (its values: log rises summed over ~70 bands),
// and how long after an onset its own rise is still that onset's.
constexpr float kTonalDelta = 3, kTonalMedian = 3, kTonalLambda = 0.5f;
constexpr double kTonalAfter = 0.1;
constexpr float kTonalFloorSteps = 16;  // Of the player's spectrum (the PCM path: at the knee).

// Silence gate on the louder channel: opens at kGateOpenDb, closes below
// kGateCloseDb after kGateHangSeconds, so a note's tail does not flicker it.
constexpr float kGateOpenDb = -60, kGateCloseDb = -63;
// The spectrum path's gate: this far above the waveform's quantisation floor.
constexpr float kGateAboveFloorDb = 4;
constexpr double kGateHangSeconds = 0.15;
// A band this far below a full-scale sine is dark whatever its history: the
// thresholds adapt, but never so far down that the noise floor lights up.
constexpr float kBandFloorDb = -78;
// How much of the bands' common rise or fall is taken out of each (1: all).
constexpr float kCommonShare = 0.85f;

// Band thresholds: each band's level is sampled every kHistoryStep seconds
// into a window of kHistoryLength samples (3 s); the threshold is its median.
constexpr double kHistoryStep = 0.05;
constexpr int kHistoryLength = 60;
// Peak follower of each band: up at once, down fast enough that eighth-note
// hi-hats at 120 BPM fall back between hits (10 dB in 40 ms); the styles'
// hysteresis and the lamps' hold keep that from flickering.
constexpr float kBandReleaseDbPerSecond = 250;

// Percussive onsets: the flux must pass kOnsetDelta + kOnsetMedian * the
// median + kOnsetLambda * the mean flux of the last half second, having
// fallen below that since the last onset; no two come closer than kMinIoi.
constexpr float kOnsetDelta = 1.5f, kOnsetMedian = 3, kOnsetLambda = 0.5f;
constexpr double kMinIoi = 0.045;

// Beats: the tempo stage's cells are kCell long; the silences that stop the
// beats and that make the tempo forgotten.
constexpr double kCell = kTempoCellSeconds;

// The band spectrum (bands and the tonal onsets) every this many hops of
// the PCM path: about 10 ms, twice the lines' 50 a second, so a band lamp
// reaches its line slot at most half a slot later; the percussive onsets
// and the tempo keep every hop. The band FFT is most of the analysis' cost.
constexpr int kBandHops = 2;
constexpr float kBandAttackDb = 6;
constexpr double kTempoKneeHz = 400;
// The tempo's body: the bands up to here, where kicks, snares and toms have
// their tone and hi-hats next to nothing.
constexpr double kBodyHz = 300;
// Quiet noise-like hits (ghost snares under a mix) rise above 3 kHz, where
// little else does: their own picker there, with a lower threshold.
constexpr double kCrispHz = 3000;
constexpr float kCrispDelta = 2.0f, kCrispMedian = 2.5f, kCrispLambda = 0.5f;
// Under a pad and an open hat's tail even they are missed, but the mid
// highs rise as a whole (music/onset_tonal.h): a fixed rise of 2.9 dB.
constexpr float kNoiseRiseNepers = 0.33f;
constexpr double kBeatPauseSeconds = 2;    // Silent this long: no beats.
constexpr double kTempoForgetSeconds = 5;  // Silent this long: tempo unknown.
constexpr int kStableEstimates = 10;       // A second of the phase holding: beats may lead.

float ToDb(double power) { return static_cast<float>(10 * std::log10(power + 1e-14)); }

// Median and quartiles of a small window (the band histories).
void Quartiles(const float* values, int count, float* q1, float* median, float* q3) {
  float sorted[kHistoryLength];
  std::copy(values, values + count, sorted);
  std::sort(sorted, sorted + count);
  *q1 = sorted[count / 4];
  *median = sorted[count / 2];
  *q3 = sorted[(3 * count) / 4];
}

// The power spectrum of the newest `size` samples of a ring of samples,
// scaled so that a full-scale sine peaks at 1.
struct Spectrum {
  int size = 0;
  std::vector<float> window, frame, power;
  std::vector<std::complex<float>> out;
  kissfft<float> fft{1, false};

  // fall < 0: a symmetric Hann window; else a half-Hann rise and a half-Hann
  // fall over the last `fall` samples.
  void Init(int n, int fall) {
    size = n;
    fft.assign(n / 2, false);
    window.resize(n);
    const int rise = fall < 0 ? n : n - fall;
    double sum = 0;
    for (int i = 0; i < n; ++i) {
      const double w = fall < 0 ? 0.5 - 0.5 * std::cos(2 * kPi * i / n)
                       : i < rise ? 0.5 - 0.5 * std::cos(kPi * i / rise)
                                  : 0.5 + 0.5 * std::cos(kPi * (i - rise) / fall);
      window[i] = static_cast<float>(w);
      sum += w;
    }
    scale = static_cast<float>(4 / (sum * sum));
    frame.resize(n);
    out.resize(n / 2);
    power.resize(n / 2 + 1);
  }

  void Compute(const std::vector<float>& ring, size_t newest) {
    const size_t r = ring.size();
    size_t at = (newest + r - size) % r;  // The oldest sample used.
    for (int i = 0; i < size; ++i, at = at + 1 == r ? 0 : at + 1) frame[i] = ring[at] * window[i];
    fft.transform_real(frame.data(), out.data());
    const int half = size / 2;
    power[0] = 0;  // DC carries no music.
    for (int k = 1; k < half; ++k) power[k] = std::norm(out[k]) * scale;
    power[half] = out[0].imag() * out[0].imag() * scale;
  }

  float scale = 1;
};

}  // namespace

struct Analyzer::State {
  AnalyzerOptions options;
  // PCM path: a long symmetric window for the bands (a tone stays in its
  // band), a short one for the onsets (an attack shows at once).
  int hop = 256, size = 2048;
  std::vector<float> ring;
  Spectrum bandSpectrum, onsetSpectrum;
  size_t ringPos = 0, inHop = 0;
  int hopsToBands = 0;  // Hops until the next band spectrum.
  float hopLevel[2] = {-120, -120};  // The last two hops' levels.
  uint64_t samplesDone = 0;
  double sumSquares[2] = {0, 0};

  // Bands.
  BandMap bandMap, fluxMap;
  size_t fluxBins = 0;
  double fluxBinHz = 0;
  float bandPower[kBandCount] = {}, envelope[kBandCount];
  float history[kBandCount][kHistoryLength];
  int historyCount = 0, historyPos = 0;
  float bandMedian[kBandCount], bandSpread[kBandCount];  // Of the history.
  double nextHistory = 0;
  float lastBand[kBandCount] = {};  // The band values of the last band spectrum,
  double bandTime = 0;              // and its time.

  // Gate.
  float gateOpenDb = kGateOpenDb;
  bool gateOpen = false;
  double lastLoud = -1e9;

  // Onsets.
  std::vector<float> fluxLog[2], fluxNow, fluxBands;  // Log band levels, two steps back.
  double powerLog[2][2] = {};  // The power of the body's bands and of all, two steps back.
  std::vector<float> fluxWeight, tempoWeight, bodyWeight, crispWeight;
  float crispFlux = 0;
  OnsetPicker crispPicker{kCrispDelta, kCrispMedian, kCrispLambda};
  float tempoFlux = 0, bodyFlux = 0;
  float fluxKnee = kFluxKnee;
  TonalFlux tonal;  // Weighted towards the lows: the kick, snare and bass carry the beat.
  int fluxSteps = 0;
  OnsetPicker percussivePicker{kOnsetDelta, kOnsetMedian, kOnsetLambda};
  OnsetPicker tonalPicker{kTonalDelta, kTonalMedian, kTonalLambda};
  NoiseRise noise;
  OnsetPicker noisePicker{kNoiseRiseNepers, 0, 0};
  double lastOnset = -1e9;

  // Tempo and beats.
  TempoTracker tempo;
  int64_t cellIndex = -1, cellBase = 0;  // The cell being filled; the tracker's first.
  float cellStrength = 0, cellBody = 0;
  float bpm = 0;
  int phaseMisses = 0, stableEstimates = 0;
  double period = 0, nextBeat = 0, lastBeat = 0;
  double previousTime = 0;

  explicit State(const AnalyzerOptions& o) : options(o) {
    options.sampleRate = std::clamp(options.sampleRate, 8000, 192000);
    options.channels = std::clamp(options.channels, 1, 2);
    // A band window of eight hops.
    hop = HopAt(options.sampleRate);
    size = hop * 8;
    bandSpectrum.Init(size, -1);
    // The onset window: two hops, falling over the newest half hop only, so
    // the newest samples weigh nearly fully.
    onsetSpectrum.Init(2 * hop, hop / 2);
    ring.assign(size, 0);
    std::fill(envelope, envelope + kBandCount, -140.0f);
  }

  void MapFor(size_t bins, double binHz, size_t onsetBins, double onsetBinHz) {
    if (bandMap.bins != bins || bandMap.binHz != binHz) bandMap.Build(bins, binHz, kBandCount, 0);
    if (fluxMap.bins != onsetBins || fluxMap.binHz != onsetBinHz) {
      fluxMap.Build(onsetBins, onsetBinHz, kFluxBands, 1.0f);
      for (auto& v : fluxLog) v.assign(fluxMap.bandCount, 0);
      // A wide band averages its noise away, so its rise is the surer sign:
      // weigh each band by the root of its width in bins.
      fluxWeight.assign(fluxMap.bandCount, 0);
      for (const BandMap::Entry& e : fluxMap.entries) fluxWeight[e.band] += e.weight;
      double total = 0;
      for (float& w : fluxWeight) total += w = std::pow(w, 0.5f);
      for (float& w : fluxWeight) w = static_cast<float>(w * fluxWeight.size() / total);
      // The tempo's onset strength: the cymbals' many narrow bands would
      // outvote the drums' few, and make eighth-note hi-hats the beat. The
      // weight falls as 1/f above the knee: with its root, a kit's hi-hats
      // at 88 BPM still made the double tempo the likelier.
      std::vector<double> centre(fluxMap.bandCount, 0), width(fluxMap.bandCount, 0);
      for (const BandMap::Entry& e : fluxMap.entries) {
        centre[e.band] += e.weight * e.bin * onsetBinHz;
        width[e.band] += e.weight;
      }
      tempoWeight.assign(fluxMap.bandCount, 0);
      bodyWeight.assign(fluxMap.bandCount, 0);
      crispWeight.assign(fluxMap.bandCount, 0);
      for (int b = 0; b < fluxMap.bandCount; ++b) {
        const double hz = width[b] > 0 ? centre[b] / width[b] : 0;
        tempoWeight[b] = static_cast<float>(kTempoKneeHz / (kTempoKneeHz + hz));
        bodyWeight[b] = hz <= kBodyHz ? 1.0f : 0.0f;
        crispWeight[b] = hz >= kCrispHz ? fluxWeight[b] : 0.0f;
      }
      fluxSteps = 0;
    }
  }

  void Gate(Frame* f) {
    const float level = std::max(f->levelDb[0], f->levelDb[1]);
    if (level >= gateOpenDb) {
      gateOpen = true;
      lastLoud = f->time;
    } else if (level >= gateOpenDb + kGateCloseDb - kGateOpenDb && gateOpen) {
      lastLoud = f->time;
    } else if (f->time - lastLoud > kGateHangSeconds) {
      gateOpen = false;
    }
    f->silent = !gateOpen;
  }

  void Bands(const float* pw, double dt, Frame* f) {
    bandMap.Apply(pw, bandPower);
    float level[kBandCount];
    for (int b = 0; b < kBandCount; ++b) {
      level[b] = ToDb(bandPower[b]);
      envelope[b] = std::max(level[b], envelope[b] - static_cast<float>(kBandReleaseDbPerSecond * dt));
    }
    // Silence is not music: the history keeps what it learnt before it.
    if (!f->silent && f->time >= nextHistory) {
      nextHistory = f->time + kHistoryStep;
      for (int b = 0; b < kBandCount; ++b) history[b][historyPos] = envelope[b];
      historyPos = (historyPos + 1) % kHistoryLength;
      historyCount = std::min(historyCount + 1, kHistoryLength);
      for (int b = 0; b < kBandCount; ++b) {
        float q1, q3;
        Quartiles(history[b], historyCount, &q1, &bandMedian[b], &q3);
        bandSpread[b] = std::clamp(q3 - q1, 3.0f, 12.0f);
      }
    }
    if (f->silent || historyCount == 0) return;

    // Each band against its own recent median, in units of its spread; then
    // the common part of all bands is taken partly out, so that a crescendo
    // does not light everything and a diminuendo does not darken everything.
    float deviation[kBandCount], sortedDev[kBandCount], spectralMedian[kBandCount];
    int live = 0;
    for (int b = 0; b < kBandCount; ++b) {
      deviation[b] = (envelope[b] - bandMedian[b]) / bandSpread[b];
      spectralMedian[b] = envelope[b];
      if (envelope[b] > kBandFloorDb) sortedDev[live++] = deviation[b];
    }
    std::nth_element(spectralMedian, spectralMedian + kBandCount / 2, spectralMedian + kBandCount);
    const float typical = spectralMedian[kBandCount / 2];
    const float loudest = *std::max_element(envelope, envelope + kBandCount);
    float common = 0;
    if (live > 0) {
      std::nth_element(sortedDev, sortedDev + live / 2, sortedDev + live);
      common = sortedDev[live / 2];
    }
    for (int b = 0; b < kBandCount; ++b) {
      if (envelope[b] <= kBandFloorDb) continue;
      // A band that towers over the rest (a held tone) stays lit even when
      // its own history has caught up with it.
      const float towering = envelope[b] >= loudest - 3 ? std::max(0.0f, (envelope[b] - typical - 20) / 6) : 0;
      const float score = deviation[b] - kCommonShare * common + towering;
      f->band[b] = score > 0 ? 1 - std::exp(-score) : 0;
    }
  }

  // Spectral flux on log band levels: the rise of each band over the step
  // before last, against the larger of its neighbours then (so a vibrato or
  // a glide is not a new note), summed over the bands.
  float Flux(const float* pw) {
    const int n = fluxMap.bandCount;
    fluxBands.resize(n);
    fluxNow.resize(n);

    fluxMap.Apply(pw, fluxBands.data());
    std::vector<float>& older = fluxLog[fluxSteps % 2];  // Two steps back.
    float flux = 0;
    tempoFlux = 0;
    crispFlux = 0;
    // Log compression with its knee at -90 dB (the player's spectrum: its
    // smallest step): a hit stands out at any level; hiss is kept out by the
    // threshold, which follows the flux's median.
    for (int b = 0; b < n; ++b) fluxNow[b] = std::log(1 + std::sqrt(fluxBands[b]) / fluxKnee);
    // The log rises say little of where the hit's power is (a hi-hat rises
    // in the low bands too); the linear power's rise does: its share below
    // kBodyHz is the body's part of the tempo's strength.
    double power[2] = {0, 0};
    for (int b = 0; b < n; ++b) {
      power[0] += bodyWeight[b] > 0 ? fluxBands[b] : 0;
      power[1] += fluxBands[b];
    }
    double* olderPower = powerLog[fluxSteps % 2];
    const double bodyRise = std::max(0.0, power[0] - olderPower[0]), rise = std::max(0.0, power[1] - olderPower[1]);
    const float bodyShare = rise > 0 ? static_cast<float>(std::min(1.0, bodyRise / rise)) : 0.0f;
    olderPower[0] = power[0];
    olderPower[1] = power[1];
    if (fluxSteps >= 2) {
      for (int b = 0; b < n; ++b) {
        float before = older[b];
        if (b > 0) before = std::max(before, older[b - 1]);
        if (b + 1 < n) before = std::max(before, older[b + 1]);
        const float rise = std::max(0.0f, fluxNow[b] - before);
        flux += fluxWeight[b] * rise;
        tempoFlux += tempoWeight[b] * rise;
        crispFlux += crispWeight[b] * rise;
      }
    }
    bodyFlux = bodyShare * tempoFlux;
    older.swap(fluxNow);
    ++fluxSteps;
    return flux;
  }

  // The percussive and the tonal function pick their onsets apart, each
  // against its own past: the tonal one's background (a held note's
  // shimmer, hiss made even by whitening) would raise the percussive
  // threshold above the quiet hits. Either makes an onset; no two come
  // closer than kMinIoi.
  void Onset(Frame* f, float tonalFlux, float noiseRise, bool longFresh) {
    const bool percussive = percussivePicker.Next(f->time, f->flux, !f->silent);
    const bool tonal = longFresh && tonalPicker.Next(f->time, tonalFlux, !f->silent);
    const bool crisp = crispPicker.Next(f->time, crispFlux, !f->silent);
    const bool noisy = longFresh && noisePicker.Next(f->time, noiseRise, !f->silent);
    // The long spectrum's functions rise later and for longer than the
    // percussive one: their rise just after an onset is that onset's own.
    const bool late = (tonal || noisy) && f->time - lastOnset >= kTonalAfter;
    if ((percussive || crisp || late) && f->time - lastOnset >= kMinIoi) {
      f->onset = true;
      lastOnset = f->time;
      if (percussive) percussivePicker.Fire();
      if (tonal) tonalPicker.Fire();
      if (crisp) crispPicker.Fire();
      if (noisy) noisePicker.Fire();
    }
  }

  // After each tempo estimate: the phase whose beats collect the most
  // onset strength, followed gently so that one odd bar does not move it.
  void FollowPhase() {
    const float now = tempo.Bpm();
    const bool changed = bpm <= 0 || std::fabs(now / bpm - 1) > 0.03;
    bpm = now;
    if (bpm <= 0) return;
    const int64_t last = tempo.CellsDone() - 1;
    const double bestPhase = tempo.BestPhase(60 / (bpm * kCell), last);
    period = 60.0 / bpm;
    const double beatTime = (cellBase + last - bestPhase + 0.5) * kCell;
    double predicted = beatTime;
    while (predicted <= previousTime) predicted += period;
    if (nextBeat <= 0 || changed) {
      nextBeat = predicted;
      phaseMisses = 0;
      stableEstimates = 0;
    } else {
      // Follow a small drift at once, a large one only when it persists.
      const double d = std::remainder(predicted - nextBeat, period);
      if (std::fabs(d) < 0.2 * period) {
        nextBeat += 0.4 * d;
        phaseMisses = 0;
        stableEstimates += std::fabs(d) < 0.05 * period;
      } else {
        stableEstimates = 0;
        if (++phaseMisses >= 3) {
          nextBeat += d;
          phaseMisses = 0;
        }
      }
    }
    while (nextBeat - lastBeat < 0.6 * period) nextBeat += period;
  }

  // dt: the step's length. Its onset strength is stamped at its middle (a
  // frame's time is its end), so that beats taken at a cell's centre fall
  // on the hits, not half a step after them.
  void Tempo(Frame* f, double dt) {
    const int64_t index = static_cast<int64_t>(std::floor((f->time - 0.5 * dt) / kCell));
    if (cellIndex < 0) cellIndex = cellBase = index;
    while (cellIndex < index) {
      ++cellIndex;
      const int64_t before = tempo.CellsDone();
      tempo.AddCell(cellStrength, cellBody);
      cellStrength = cellBody = 0;
      if (before >= 149 && tempo.CellsDone() % 10 == 0) FollowPhase();
    }
    // The body of the step whose strength the cell keeps: a hi-hat just
    // after a kick keeps neither.
    if (!f->silent && tempoFlux > cellStrength) cellStrength = tempoFlux, cellBody = bodyFlux;

    if (f->time - lastLoud > kTempoForgetSeconds) {
      // A long silence: the next piece has a tempo of its own.
      tempo.Reset();
      bpm = 0;
      nextBeat = lastBeat = 0;
      stableEstimates = 0;
    }
    f->bpm = bpm;
    if (bpm > 0 && nextBeat > 0) {
      // The step nearest the beat fires it, not the first after it; and
      // while the phase holds, the known delays after this point (the
      // caller's lead) earlier still, so that the lamp lights on the beat.
      const double lead = stableEstimates >= kStableEstimates ? options.beatLeadSeconds : 0;
      if (f->time + 0.5 * dt >= nextBeat - lead) {
        // The quiet between a metronome's clicks is still in time; only a
        // real pause (below) stops the beats.
        f->beat = f->time - lastLoud < kBeatPauseSeconds;
        lastBeat = nextBeat;
        while (nextBeat - lead <= f->time + 0.5 * dt) nextBeat += period;
      }
      f->beatPhase = static_cast<float>(std::clamp((f->time + lead - lastBeat) / period, 0.0, 0.999));
    }
    previousTime = f->time;
  }

  // pw: the band spectrum, or null on a step without one (the bands keep
  // their last values, the tonal function waits).
  Frame Process(const float* pw, size_t bins, double binHz, const float* onsetPw, size_t onsetBins,
                double onsetBinHz, const float levelDb[2], double time) {
    Frame f;
    f.time = time;
    f.levelDb[0] = levelDb[0];
    f.levelDb[1] = levelDb[1];
    const double dt = std::clamp(time - previousTime, 0.0, 0.1);
    MapFor(bins, binHz, onsetBins, onsetBinHz);
    Gate(&f);
    float tonalFlux = 0, noiseRise = 0;
    if (pw != nullptr) {
      Bands(pw, std::clamp(time - bandTime, 0.0, 0.1), &f);
      std::copy(f.band, f.band + kBandCount, lastBand);
      bandTime = time;
      tonal.Configure(bins, binHz);
      // Its whitening would lift a one-step flicker of the player's spectrum
      // to full scale: a band counts as empty below a few steps.
      const float tonalFloor = fluxKnee > kFluxKnee ? kTonalFloorSteps * fluxKnee : fluxKnee;
      tonalFlux = tonal.Next(pw, time, tonalFloor * tonalFloor);
      noiseRise = noise.Next(pw, bins, binHz, time, tonalFloor * tonalFloor);
    } else if (!f.silent) {
      std::copy(lastBand, lastBand + kBandCount, f.band);
    }
    f.flux = Flux(onsetPw);
    Onset(&f, tonalFlux, noiseRise, pw != nullptr);
    Tempo(&f, dt);
    return f;
  }

  void Step(std::vector<Frame>* out) {
    const size_t newest = ringPos;  // One past the newest sample.
    float levels[2];
    for (int c = 0; c < 2; ++c) {
      const double ms = sumSquares[c] / hop;
      levels[c] = ms > 0 ? static_cast<float>(10 * std::log10(ms) + 3.0103) : -120;
      levels[c] = std::max(levels[c], -120.0f);
      sumSquares[c] = 0;
    }
    // An attack does not wait for the band cadence: a hop much louder than
    // one of the two before takes its band spectrum at once.
    const float level = std::max(levels[0], levels[1]);
    const bool bandStep = hopsToBands == 0 || level > std::min(hopLevel[0], hopLevel[1]) + kBandAttackDb;
    hopLevel[1] = hopLevel[0];
    hopLevel[0] = level;
    hopsToBands = bandStep ? kBandHops - 1 : hopsToBands - 1;
    if (bandStep) bandSpectrum.Compute(ring, newest);
    onsetSpectrum.Compute(ring, newest);
    const double time = static_cast<double>(samplesDone) / options.sampleRate;
    const double rate = options.sampleRate;
    out->push_back(Process(bandStep ? bandSpectrum.power.data() : nullptr, bandSpectrum.power.size(), rate / bandSpectrum.size,
                           onsetSpectrum.power.data(), onsetSpectrum.power.size(), rate / onsetSpectrum.size,
                           levels, time));
  }
};

Analyzer::Analyzer(const AnalyzerOptions& options) : state_(new State(options)) {}
Analyzer::~Analyzer() = default;

void Analyzer::Feed(const float* interleaved, size_t frames, std::vector<Frame>* out) {
  State& s = *state_;
  const int ch = s.options.channels;
  for (size_t i = 0; i < frames; ++i) {
    const float* x = interleaved + i * ch;
    const float left = x[0], right = ch == 2 ? x[1] : x[0];
    s.sumSquares[0] += static_cast<double>(left) * left;
    s.sumSquares[1] += static_cast<double>(right) * right;
    s.ring[s.ringPos] = 0.5f * (left + right);
    s.ringPos = (s.ringPos + 1) % s.size;
    ++s.samplesDone;
    if (++s.inHop == static_cast<size_t>(s.hop)) {
      s.inHop = 0;
      s.Step(out);
    }
  }
}

Frame Analyzer::FeedSpectrum(const float* magnitudes, size_t bins, double binHz,
                             const float levelDb[2], double time) {
  State& s = *state_;
  const float scale = s.options.spectrumFullScale > 0 ? 1 / s.options.spectrumFullScale : 1;
  // The caller's own full scale sets the floors: a spectrum in whole steps
  // (the player's 0-255) flickers by one step where nothing plays, and an
  // 8-bit waveform reads its quantisation noise as a level.
  s.fluxKnee = std::max(kFluxKnee, scale);
  if (s.options.waveformBits > 0) {
    const float floorDb = static_cast<float>(20 * std::log10(std::pow(2.0, 1 - s.options.waveformBits)) - 3.0103);
    s.gateOpenDb = std::max(kGateOpenDb, floorDb + kGateAboveFloorDb);
  }
  std::vector<float> pw(bins);
  for (size_t i = 0; i < bins; ++i) {
    const float m = magnitudes[i] * scale;
    pw[i] = i == 0 ? 0 : m * m;
  }
  return s.Process(pw.data(), bins, binHz, pw.data(), bins, binHz, levelDb, time);
}

double Analyzer::StepSeconds() const {
  return static_cast<double>(state_->hop) / state_->options.sampleRate;
}

double Analyzer::StepSecondsAt(int sampleRate) {
  sampleRate = std::clamp(sampleRate, 8000, 192000);
  return static_cast<double>(HopAt(sampleRate)) / sampleRate;
}

float RmsDb(const float* samples, size_t count, size_t stride) {
  if (count == 0) return -120;
  double sum = 0;
  for (size_t i = 0; i < count; ++i) {
    const double v = samples[i * stride];
    sum += v * v;
  }
  const double ms = sum / count;
  // Referenced to a full-scale sine (0 dBFS), as level meters read.
  return ms > 0 ? std::max(-120.0f, static_cast<float>(10 * std::log10(ms) + 3.0103)) : -120.0f;
}

}  // namespace music
