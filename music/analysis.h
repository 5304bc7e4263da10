// Audio analysis: PCM or a player's spectrum in, analysis frames out.
// Platform-free: no platform header, no I/O, no threads.
#pragma once
#include <cstddef>
#include <memory>
#include <vector>

namespace music {

constexpr int kBandCount = 16;  // Log-spaced, about 40 Hz to 16 kHz.
// Levels: the lowest any reads (digital silence), and what is added to the
// mean square's dB so that a full-scale sine reads 0 dBFS, as meters do.
constexpr float kLowestDb = -120;
constexpr double kFullScaleSineDb = 3.0103;

// One analysis step: one hop of the PCM path, or one spectrum handed in.
struct Frame {
  double time = 0;                     // Seconds since the stream began, at the step's end.
  float band[kBandCount] = {};         // Band energy against its adaptive threshold: 0 at or
                                       // below it, towards 1 far above it.
  float levelDb[2] = {kLowestDb, kLowestDb};  // RMS level of left and right (mono: both), dBFS.
  bool silent = true;                  // Below the silence gate: styles light nothing.
  bool onset = false;                  // An onset was detected in this step.
  float flux = 0;                      // Spectral flux (for tuning and tests).
  bool beat = false;                   // A beat falls in this step (or, with a lead, that
                                       // much after it).
  float bpm = 0;                       // Tempo estimate; 0 while unknown.
  float beatPhase = 0;                 // 0 at a beat, rising towards 1 before the next.
};

struct AnalyzerOptions {
  int sampleRate = 48000;  // 22050 to 96000.
  int channels = 2;        // 1 or 2; stereo input is interleaved.
  // FeedSpectrum only: the bin magnitude of a full-scale sine on the caller's
  // scale (the player's 0-255 spectrum: about 255), so that the fixed floors
  // mean the same on both paths.
  float spectrumFullScale = 1;
  // FeedSpectrum only: the levels come from a waveform of this many bits
  // (the player's: 8). Its quantisation noise reads about -45 dBFS, far
  // above the PCM path's gate, so the gate opens a little above it.
  int waveformBits = 8;
  // Beats are fired this much before the beat once its phase has held for a
  // second: the delays between this analysis and the lamp (the rest of the
  // capture piece, the line's slot, the listener) that the caller knows.
  double beatLeadSeconds = 0;
};

class Analyzer {
 public:
  explicit Analyzer(const AnalyzerOptions& options);
  ~Analyzer();
  Analyzer(const Analyzer&) = delete;
  Analyzer& operator=(const Analyzer&) = delete;

  // Interleaved float samples in [-1, 1]; frames counts samples per channel.
  // Appends one Frame per completed step to out.
  void Feed(const float* interleaved, size_t frames, std::vector<Frame>* out);

  // A magnitude spectrum computed elsewhere (the player's): bins linear
  // magnitudes, bin i centred at i * binHz; levels from its waveform; time
  // of the step. Runs the same band, onset and tempo stages as Feed.
  Frame FeedSpectrum(const float* magnitudes, size_t bins, double binHz,
                     const float levelDb[2], double time);

  // Seconds of audio per step of the PCM path.
  double StepSeconds() const;
  // The same for a stream at this sample rate, before there is an Analyzer.
  static double StepSecondsAt(int sampleRate);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// RMS level in dBFS of count samples taken every stride-th value.
float RmsDb(const float* samples, size_t count, size_t stride);

}  // namespace music
