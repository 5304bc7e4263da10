#include "music/tempo.h"

#include <algorithm>
#include <cmath>

#include "music/vector4.h"

namespace music {
namespace {

constexpr int kWindowCells = 600;     // The autocorrelation's window: 6 s.
constexpr int kMaxLagCells = 300;     // Comb terms up to 3 s.
constexpr int kFreeCells = 400;       // Jumps cost nothing in the first 4 s.
constexpr int kStatesPerOctave = 70;  // About 1 % apart.
// The prior: log-normal around 120 BPM, its deviation in octaves.
constexpr double kPriorBpm = 120, kPriorOctaves = 1;
// The comb's sum is divided by its number of terms to this power: 0.5 would
// let eighth notes make the double tempo win, 1 would let the bar win.
constexpr double kCombNorm = 0.8;
// The paths' memory (kept per estimate: 0.8 is about half a second), a move
// within the tempo followed (a Gaussian of kDriftStates), and what a jump
// away from it must win by.
constexpr double kLeak = 0.8, kDriftStates = 1.5, kJumpCost = 8;
// Locked: the window full and the tempo held (within the drift) for two
// seconds. From then on a jump to a metrical relative of the tempo followed
// (its half or double, a third or three times, two or three halves, a
// quarter or four times) is never taken: it is the same music counted
// another way, and a lamp beat that changes speed on a steady beat is the
// fault people see. Another tempo still may win, by kJumpCost.
constexpr int kLockEstimates = 20;
constexpr double kRelativeOctaves = 0.05;  // About 3.5 %.
bool MetricallyRelated(double a, double b) {
  const double octaves = std::fabs(std::log2(a / b));
  for (double r : {1.0, 1.5849625, 0.5849625, 2.0}) {  // 2, 3, 3/2, 4.
    if (std::fabs(octaves - r) < kRelativeOctaves) return true;
  }
  return false;
}
// A snare's body is a third to all of its strength, a hi-hat's a few per
// cent: the beats in between lack body when their share of it is below this
// part of the beats on the half tempo's. Such a tempo's comb score is then
// weighed by kSubdivisionWeight, and only so when the hits between carry at
// least kSubdivisionMin of the others' strength (without them its comb
// already prefers the half tempo), and only where the beats have a body to
// lack, kMinBodyShare of their strength (a click track's have none).
constexpr double kBodyShare = 0.2, kSubdivisionWeight = 0.5, kSubdivisionMin = 0.15, kMinBodyShare = 0.25;

}  // namespace

TempoTracker::TempoTracker() : cells_(kRing, 0.0f), body_(kRing, 0.0f) {
  const int states = static_cast<int>(std::floor(kStatesPerOctave * std::log2(kMaxBpm / kMinBpm))) + 1;
  for (int j = 0; j < states; ++j) {
    const double bpm = kMinBpm * std::pow(2.0, static_cast<double>(j) / kStatesPerOctave);
    const double octaves = std::log2(bpm / kPriorBpm) / kPriorOctaves;
    bpmOf_.push_back(bpm);
    prior_.push_back(-0.5 * octaves * octaves);
  }
  path_.assign(states, 0);
}

void TempoTracker::Reset() {
  bpm_ = 0;
  started_ = false;
  lastState_ = -1;
  heldEstimates_ = 0;
}

float TempoTracker::Cell(int64_t i) const { return cells_[static_cast<size_t>(((i % kRing) + kRing) % kRing)]; }

float TempoTracker::CellAt(double i) const {
  const int64_t fl = static_cast<int64_t>(std::floor(i));
  return std::max(Cell(fl), Cell(fl + 1));
}

double TempoTracker::BestPhase(double period, int64_t last) const { return BestPhaseOf(cells_, period, last); }

double TempoTracker::BestPhaseOf(const std::vector<float>& cells, double period, int64_t last) const {
  const int64_t first = std::max<int64_t>(0, cellsDone_ - kWindowCells);
  auto at = [&](double i) {  // i >= 1: truncation is the floor.
    const size_t fl = static_cast<size_t>(i);
    return std::max(cells[fl % kRing], cells[(fl + 1) % kRing]);
  };
  double bestPhase = 0, bestScore = -1;
  for (double phase = 0; phase < period; phase += 1) {
    double s = 0, weight = 1;
    for (double i = last - phase; i >= first + 1; i -= period, weight *= 0.8) s += weight * at(i);
    if (s > bestScore) bestScore = s, bestPhase = phase;
  }
  return bestPhase;
}

bool TempoTracker::AlternateBeatsLackBody(double period) const {
  // The half tempo's beats where the body falls, and the beats between them.
  const int64_t first = std::max<int64_t>(0, cellsDone_ - kWindowCells), last = cellsDone_ - 1;
  const double phase = BestPhaseOf(body_, 2 * period, last);
  double strengthOn = 0, bodyOn = 0, strengthOff = 0, bodyOff = 0;
  for (double on = last - phase; on - period >= first + 1; on -= 2 * period) {
    const double off = on - period;
    const int64_t a = static_cast<int64_t>(std::floor(on)), b = static_cast<int64_t>(std::floor(off));
    const int64_t onAt = Cell(a + 1) > Cell(a) ? a + 1 : a, offAt = Cell(b + 1) > Cell(b) ? b + 1 : b;
    strengthOn += Cell(onAt);
    bodyOn += body_[static_cast<size_t>(onAt % kRing)];
    strengthOff += Cell(offAt);
    bodyOff += body_[static_cast<size_t>(offAt % kRing)];
  }
  if (bodyOn <= kMinBodyShare * strengthOn || strengthOff < kSubdivisionMin * strengthOn) return false;
  return bodyOff / strengthOff < kBodyShare * (bodyOn / strengthOn);
}

bool TempoTracker::AddCell(float strength, float body) {
  cells_[static_cast<size_t>(cellsDone_ % kRing)] = strength;
  body_[static_cast<size_t>(cellsDone_ % kRing)] = std::min(body, strength);
  ++cellsDone_;
  if (cellsDone_ < kFirstCells || cellsDone_ % kEveryCells != 0) return false;
  Estimate();
  return true;
}

void TempoTracker::Estimate() {
  const int count = static_cast<int>(std::min<int64_t>(cellsDone_, kWindowCells));
  const int64_t first = cellsDone_ - count;
  float mean = 0;
  for (int64_t i = first; i < cellsDone_; ++i) mean += Cell(i);
  mean /= count;
  std::vector<float> o(count);
  for (int i = 0; i < count; ++i) o[i] = std::max(0.0f, Cell(first + i) - mean);
  const int maxLag = std::min(kMaxLagCells, count - 50);
  const int minLag = static_cast<int>(60 / (kMaxBpm * kTempoCellSeconds)) - 1;
  std::vector<float> acf(maxLag + 3, 0);
  for (int lag = minLag; lag <= maxLag + 2 && lag < count; ++lag) {
    // Eight sums, not one: an add need not wait for the one before it (the
    // loop's pace is the adds' latency); four products at once.
    V2d sum[4] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}};
    int i = lag;
    for (; i + 8 <= count; i += 8) {
      const V4 p = Load(&o[i]) * Load(&o[i - lag]), q = Load(&o[i + 4]) * Load(&o[i + 4 - lag]);
      sum[0] += V2d{p[0], p[1]};
      sum[1] += V2d{p[2], p[3]};
      sum[2] += V2d{q[0], q[1]};
      sum[3] += V2d{q[2], q[3]};
    }
    double s[4] = {sum[0][0] + sum[2][0], sum[0][1] + sum[2][1], sum[1][0] + sum[3][0], sum[1][1] + sum[3][1]};
    for (; i < count; ++i) s[0] += o[i] * o[i - lag];
    acf[lag] = static_cast<float>((s[0] + s[1] + s[2] + s[3]) / (count - lag));
  }
  // The comb: the autocorrelation at the period and its multiples, each
  // multiple taking the best lag within a cell of where it should be, so a
  // played tempo that drifts a little still adds up. Divided by the root of
  // a power of its number of terms (kCombNorm); not tolerant, the lag taken
  // where it falls.
  auto comb = [&](double bpm, bool tolerant = true) {
    const double lag = 60 / (bpm * kTempoCellSeconds);
    double s = 0;
    int terms = 0;
    for (int k = 1; k * lag <= maxLag; ++k, ++terms) {
      const double at = k * lag;
      const int l = static_cast<int>(at);
      const double frac = at - l;
      double v = acf[l] + frac * (acf[l + 1] - acf[l]);
      if (tolerant && k > 1) v = std::max({v, static_cast<double>(acf[l - 1]), static_cast<double>(acf[l + 2])});
      s += v;
    }
    return terms ? s / std::pow(terms, kCombNorm) : 0.0;
  };
  const int states = static_cast<int>(bpmOf_.size());
  std::vector<double> score(states);
  double best = 0, total = 0;
  for (int j = 0; j < states; ++j) {
    score[j] = comb(bpmOf_[j]);
    total += score[j];
    best = std::max(best, score[j]);
  }
  // No rhythm worth the name (noise, a held chord): learn nothing from it.
  if (best <= 0 || best < 1.5 * total / states) return;
  // The contenders whose half is in range: is every other beat a hi-hat?
  // One check serves the states of a peak (they share the beats).
  bool lacking = false;
  for (int j = kStatesPerOctave, checked = -99; j < states; ++j) {
    if (score[j] < 0.3 * best) continue;
    if (j - checked > 2) lacking = AlternateBeatsLackBody(60 / (bpmOf_[j] * kTempoCellSeconds)), checked = j;
    if (!lacking) continue;
    // Its beats are the half tempo's and the hits between: that evidence is
    // the half tempo's, not a third tempo's that fits the same hits.
    score[j - kStatesPerOctave] = std::max(score[j - kStatesPerOctave], score[j]);
    score[j] *= kSubdivisionWeight;
  }

  // Each state's path: the best of its neighbours' (a Gaussian of a state
  // or two: a played tempo drifts), leaking so that it holds the last few
  // seconds, plus this estimate's evidence.
  std::vector<double> next(states);
  for (int j = 0; j < states; ++j) {
    double from = started_ ? -1e300 : 0;
    if (started_) {
      for (int i = std::max(0, j - 4); i <= std::min(states - 1, j + 4); ++i) {
        const double d = (i - j) / kDriftStates;
        from = std::max(from, path_[i] - 0.5 * d * d);
      }
    }
    next[j] = kLeak * from + std::log(std::max(score[j], 1e-6 * best) / best) + prior_[j];
  }
  path_.swap(next);
  started_ = true;
  // A jump away from the tempo followed (to another octave, or to another
  // piece's tempo) must win by kJumpCost: a stretch of the music that makes
  // the half or the double likelier for a while (a quieter snare) does not
  // flip the lamps' beat. Until the window is full the comb sees few
  // multiples of the slow tempi, so an early guess is cheap to leave.
  const double jumpCost = kJumpCost * std::clamp(static_cast<double>(count - kFreeCells) /
                                                     (kWindowCells - kFreeCells), 0.0, 1.0);
  int state = static_cast<int>(std::max_element(path_.begin(), path_.end()) - path_.begin());
  if (lastState_ >= 0 && std::abs(state - lastState_) > 4) {
    int near = lastState_;
    for (int i = std::max(0, lastState_ - 4); i <= std::min(states - 1, lastState_ + 4); ++i) {
      if (path_[i] > path_[near]) near = i;
    }
    const bool locked = count >= kWindowCells && heldEstimates_ >= kLockEstimates;
    if ((locked && MetricallyRelated(bpmOf_[state], bpmOf_[lastState_])) || path_[state] - path_[near] < jumpCost) {
      state = near;
    }
  }
  heldEstimates_ = lastState_ >= 0 && std::abs(state - lastState_) <= 4 ? heldEstimates_ + 1 : 0;

  // The state is about 1 % wide: the beat wants the period finer than that.
  // Here the comb takes each multiple where it falls: with a cell's
  // tolerance it is flat over that 1 % at slow tempi.
  double fine = bpmOf_[state], fineScore = comb(fine, false);
  for (double b = bpmOf_[state] * 0.99; b <= bpmOf_[state] * 1.01; b += 0.05) {
    const double s = comb(b, false);
    if (s > fineScore) fineScore = s, fine = b;
  }
  if (bpm_ > 0 && std::abs(state - lastState_) <= 3) {
    bpm_ = static_cast<float>(0.7 * bpm_ + 0.3 * fine);
  } else {
    bpm_ = static_cast<float>(fine);
  }
  lastState_ = state;
}

}  // namespace music
