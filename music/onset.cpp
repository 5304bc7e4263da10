#include "music/onset.h"

#include <algorithm>
#include <cmath>

namespace music {

bool OnsetPicker::Next(double time, float value, bool allowed) {
  // A broken stream (NaN or infinite samples) counts as silence: such a
  // value could be neither ordered nor dropped from the window again.
  if (!std::isfinite(value)) value = 0;
  while (first_ < history_.size() && history_[first_].first < time - kWindowSeconds) {
    const float old = history_[first_].second;
    sum_ -= old;
    sorted_.erase(std::lower_bound(sorted_.begin(), sorted_.end(), old));
    ++first_;
  }
  if (first_ > 256) {
    history_.erase(history_.begin(), history_.begin() + first_);
    first_ = 0;
  }
  const size_t n = history_.size() - first_;
  const float mean = n ? static_cast<float>(sum_ / n) : 0;
  const float median = n ? sorted_[n / 2] : 0;
  const float threshold = delta_ + median_ * median + lambda_ * mean;
  if (value <= threshold) armed_ = true;
  const bool known = n > 0 && time - history_[first_].first >= kSettleSeconds;
  history_.emplace_back(time, value);
  sorted_.insert(std::upper_bound(sorted_.begin(), sorted_.end(), value), value);
  sum_ += value;
  return allowed && known && armed_ && value > threshold;
}

bool Onsets::Next(double time, const Values& v, bool allowed) {
  const bool percussive = percussive_.Next(time, v.percussive, allowed);
  const bool tonal = v.fresh && tonal_.Next(time, v.tonal, allowed);
  const bool crisp = crisp_.Next(time, v.crisp, allowed);
  const bool rise = v.fresh && rise_.Next(time, v.rise, allowed);
  // The long spectrum's functions rise later and for longer than the
  // percussive one: their rise just after an onset is that onset's own.
  const bool late = (tonal || rise) && time - last_ >= kLongAfter;
  if (!((percussive || crisp || late) && time - last_ >= kMinIoi)) return false;
  last_ = time;
  if (percussive) percussive_.Fire();
  if (tonal) tonal_.Fire();
  if (crisp) crisp_.Fire();
  if (rise) rise_.Fire();
  return true;
}

}  // namespace music
