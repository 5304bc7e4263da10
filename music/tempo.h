// The tempo stage: onset strength on a regular grid of cells in, the tempo
// out. Platform-free and testable alone on synthetic onset grids.
#pragma once
#include <cstdint>
#include <vector>

namespace music {

constexpr double kTempoCellSeconds = 0.01;  // The grid: the player's steps are irregular.

// The onset strength of the last few seconds, and a tracker over tempo
// states about 1 % apart: every tenth of a second the autocorrelation's comb
// (tolerant of a little drift) scores each state, a prior (log-normal around
// 120 BPM, an octave wide) weighs it, and a causal Viterbi step with
// Gaussian transitions between neighbouring states adds it to each state's
// path; leaving the tempo followed for another octave (or another piece's
// tempo) costs a fixed amount, so that the kick/snare difference or a
// change of accents does not flip the beat between an octave and the next;
// once the tempo is locked, a metrical relative of it never wins.
// A tempo whose every other beat has no body (the cells' low part: a hi-hat
// between two kicks, not a snare) counts less: those are the beat's
// subdivisions, and the half tempo is the beat.
class TempoTracker {
 public:
  TempoTracker();

  // Closes the current cell (strength: the largest onset strength in it;
  // body: the same of its low part, kick, snare and toms, at most strength)
  // and starts the next one. Whether a new estimate was made: the first
  // after kFirstCells, then every kEveryCells.
  bool AddCell(float strength, float body);
  bool AddCell(float strength) { return AddCell(strength, strength); }
  // Forgets the tempo (a long silence: the next piece has its own).
  void Reset();

  float Bpm() const { return bpm_; }     // 0 while unknown.
  int64_t CellsDone() const { return cellsDone_; }
  // The strength of cell i (counted from the first, i < CellsDone()).
  float Cell(int64_t i) const;
  // The larger of the two cells around a fractional position: interpolating
  // would halve a hit that falls between them.
  float CellAt(double i) const;
  // The offset, in cells back from cell `last`, whose beats at `period`
  // cells collect the most strength, the recent beats counting more.
  double BestPhase(double period, int64_t last) const;
  // Whether the beats at `period` cells alternate with and without body.
  bool AlternateBeatsLackBody(double period) const;

  static constexpr double kMinBpm = 60, kMaxBpm = 200;
  static constexpr int kFirstCells = 150;  // The first estimate after 1.5 s,
  static constexpr int kEveryCells = 10;   // then ten a second.

 private:
  void Estimate();

  static constexpr int kRing = 1024;
  double BestPhaseOf(const std::vector<float>& cells, double period, int64_t last) const;

  std::vector<float> cells_, body_;
  int64_t cellsDone_ = 0;
  float bpm_ = 0;
  std::vector<double> bpmOf_, prior_, path_;  // Per state: tempo, log prior, log path score.
  bool started_ = false;
  int lastState_ = -1;
  int heldEstimates_ = 0;  // Estimates in a row within the drift of the last.
};

}  // namespace music
