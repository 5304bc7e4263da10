// The clock and sleep on Windows: the performance counter and Sleep (the
// win32 thread model has no std::this_thread).
#include "platform/clock.h"

#include <windows.h>

// No guarded statics here: they would bring libstdc++'s exceptions into
// lightsend.exe (several times its own size).

double MonotonicSeconds() {
  LARGE_INTEGER frequency, now;  // Asked each time (no static, above): a cheap call.
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

void SleepSeconds(double seconds) {
  if (seconds > 0) Sleep(DWORD(seconds * 1000 + 0.5));
}
