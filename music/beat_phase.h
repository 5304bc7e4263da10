// The beat phase: after each tempo estimate, the time of the beat that the
// tempo's cells place best, followed gently so that one odd bar does not
// move it; at each step, whether a beat falls in it and how far the next
// one is. Platform-free; causal.
#pragma once

namespace music {

class BeatPhase {
 public:
  // Beats are fired leadSeconds before the beat once the phase has held
  // for kStableEstimates estimates (see AnalyzerOptions::beatLeadSeconds).
  explicit BeatPhase(double leadSeconds) : lead_(leadSeconds) {}

  // After a tempo estimate: bpm (0: unknown), the time in seconds of a beat
  // it places best (unused while bpm is 0), and the time of the last step.
  void Follow(float bpm, double beatTime, double now);
  // The step ending at `time`, dt long: whether it fires a beat (the step
  // nearest the beat, less the lead); no beat once nothing has been loud
  // (lastLoud) for kPauseSeconds. phase: 0 at a beat, towards 1 before the
  // next; left alone while there is no tempo.
  bool Step(double time, double dt, double lastLoud, float* phase);
  // A long silence: the next piece has a tempo of its own.
  void Forget();

  float Bpm() const { return bpm_; }

  static constexpr double kPauseSeconds = 2;   // Silent this long: no beats.
  static constexpr double kForgetSeconds = 5;  // Silent this long: tempo unknown.
  static constexpr int kStableEstimates = 10;  // A second of the phase holding: beats may lead.

 private:
  double lead_;
  float bpm_ = 0;
  int misses_ = 0, stable_ = 0;
  double period_ = 0, next_ = 0, last_ = 0;
};

}  // namespace music
