#include "music/onset.h"

#include <algorithm>

namespace music {

bool OnsetPicker::Next(double time, float value, bool allowed) {
  while (first_ < history_.size() && history_[first_].first < time - kWindowSeconds) {
    sum_ -= history_[first_].second;
    ++first_;
  }
  if (first_ > 256) {
    history_.erase(history_.begin(), history_.begin() + first_);
    first_ = 0;
  }
  const size_t n = history_.size() - first_;
  const float mean = n ? static_cast<float>(sum_ / n) : 0;
  float median = 0;
  if (n) {
    sorted_.resize(n);
    for (size_t i = 0; i < n; ++i) sorted_[i] = history_[first_ + i].second;
    std::nth_element(sorted_.begin(), sorted_.begin() + n / 2, sorted_.end());
    median = sorted_[n / 2];
  }
  const float threshold = delta_ + median_ * median + lambda_ * mean;
  if (value <= threshold) armed_ = true;
  const bool known = n > 0 && time - history_[first_].first >= kSettleSeconds;
  history_.emplace_back(time, value);
  sum_ += value;
  return allowed && known && armed_ && value > threshold;
}

}  // namespace music
