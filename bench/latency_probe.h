// The meeting point of the latency benchmark's client and server sides: the
// client says which arrival it waits for, the server side stamps it.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

using LatencyClock = std::chrono::steady_clock;

// Before the client writes: the key whose arrival it will wait for.
void ProbeExpect(uint32_t key);

// Server side: key has arrived now. Stamps and wakes the client only when it
// is the awaited key, so other arrivals cost no wake-up.
void ProbeArrived(uint32_t key);

// Blocks until the awaited key has arrived and stores when it did; false
// when it has not arrived within a few seconds (the line was lost).
bool ProbeWait(LatencyClock::time_point* arrival);

// A run's latencies in short.
struct Summary {
  double p50, p99, max;  // Microseconds.
};

inline Summary Summarise(std::vector<double> us) {
  std::sort(us.begin(), us.end());
  const auto at = [&](double q) { return us[std::min(us.size() - 1, size_t(q * double(us.size())))]; };
  return {at(0.50), at(0.99), us.back()};
}
