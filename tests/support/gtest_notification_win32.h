// Included before everything in the Windows test builds. GCC 12's win32
// thread model (the one whose programs load on old Windows) has no
// std::mutex or std::condition_variable, which GoogleTest's Notification
// (used only by its own thread helpers) is written with; this one waits on
// an atomic flag instead. Everything else of GoogleTest's threading uses
// Win32 calls already.
#pragma once
#if defined(_WIN32) && defined(__cplusplus)
#include <atomic>

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

#define GTEST_HAS_NOTIFICATION_ 1
namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) Sleep(1);
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
#endif
