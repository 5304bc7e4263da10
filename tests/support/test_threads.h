// Threads, a lock and a wake-up for the test and benchmark programs, on the
// bottom platform layer (platform/thread.h), which has one file per
// platform already.
#pragma once

#include <cstdlib>

#include "platform/clock.h"
#include "platform/thread.h"

// Runs body(argument) on a thread of its own that is never joined: it ends
// with the process.
inline void StartDetachedThread(void (*body)(void*), void* argument) {
  if (StartWorker(body, argument) == nullptr) std::abort();  // The test could not run.
}

class TestLock {
 public:
  TestLock() : gate_(NewGate()) {}
  ~TestLock() { DeleteGate(gate_); }
  TestLock(const TestLock&) = delete;
  TestLock& operator=(const TestLock&) = delete;
  void Enter() { GateLock(gate_); }
  void Leave() { GateUnlock(gate_); }
  // Entered: lets go of the lock until Wake or `seconds` have passed.
  void Wait(double seconds) { GateWait(gate_, seconds); }
  void Wake() { GateWake(gate_); }  // Not entered.

 private:
  Gate* gate_;
};

class TestLockHold {
 public:
  explicit TestLockHold(TestLock& lock) : lock_(lock) { lock_.Enter(); }
  ~TestLockHold() { lock_.Leave(); }
  TestLockHold(const TestLockHold&) = delete;
  TestLockHold& operator=(const TestLockHold&) = delete;

 private:
  TestLock& lock_;
};

// A copy of a value that threads share under lock; a new value for it.
template <typename T>
T ReadLocked(TestLock& lock, const T& value) {
  TestLockHold hold(lock);
  return value;
}
template <typename T>
void SetLocked(TestLock& lock, T* variable, const T& value) {
  TestLockHold hold(lock);
  *variable = value;
}

// A flag that one thread raises and another waits for; it stays raised
// until it is cleared. Raise wakes the waiter after letting go of the lock,
// so a signal must outlive its raisers: the users' signals are globals.
class TestSignal {
 public:
  void Raise() {
    Set(true);
    lock_.Wake();
  }
  void Clear() { Set(false); }
  // True when the flag is raised within ms milliseconds.
  bool Wait(unsigned ms) {
    const double end = MonotonicSeconds() + ms / 1000.0;
    TestLockHold hold(lock_);
    // A wake-up may be early or for an earlier raise: the flag decides.
    for (double left = ms / 1000.0; !raised_ && left > 0; left = end - MonotonicSeconds())
      lock_.Wait(left);
    return raised_;  // Read before the hold lets go.
  }

 private:
  void Set(bool raised) {
    TestLockHold hold(lock_);
    raised_ = raised;
  }
  TestLock lock_;
  bool raised_ = false;
};
