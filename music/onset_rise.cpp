#include "music/onset_rise.h"

#include <algorithm>
#include <cmath>

namespace music {

float HighsRise::Next(const float* power, size_t bins, double binHz, double time, float floor) {
  const size_t first = static_cast<size_t>(std::ceil(kLowHz / binHz));
  const size_t last = std::min(bins, static_cast<size_t>(kHighHz / binHz) + 1);
  // The mean of the bins' log rises is the rise of their summed logs: one
  // sum a step, its logs taken of products of 16 bins (no underflow in a
  // double, however far below full scale), so the cost is a few logs.
  double logs = 0, product = 1;
  for (size_t i = first; i < last; ++i) {
    product *= std::max(power[i], floor);
    if ((i - first) % 16 == 15) logs += std::log(product), product = 1;
  }
  logs += std::log(product);
  const size_t count = last > first ? last - first : 0;
  if (count != count_) past_.clear(), count_ = count;
  while (past_.size() >= 2 && time - past_[1].first >= kLagSeconds) past_.pop_front();
  float rise = 0;
  if (count > 0 && !past_.empty() && time - past_.front().first >= kLagSeconds) {
    rise = static_cast<float>(0.5 * (logs - past_.front().second) / count);  // Nepers: half the power's.
  }
  past_.emplace_back(time, logs);
  return rise;
}

}  // namespace music
