// The clock and sleep on Linux: std::chrono's steady clock.
#include "platform/clock.h"

#include <chrono>
#include <thread>

double MonotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SleepSeconds(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}
