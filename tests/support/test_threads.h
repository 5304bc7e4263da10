// Threads, a lock and a wake-up for the test and benchmark programs, on the
// clients' platform layer (client/platform.h), which has one file per
// platform already.
#pragma once

#include <cstdlib>

#include "client/platform.h"

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

// A flag that one thread raises and another waits for; it stays raised
// until it is cleared. Raise wakes the waiter after letting go of the lock,
// so a signal must outlive its raisers: the users' signals are globals.
class TestSignal {
 public:
  TestSignal() : gate_(NewGate()) {}
  ~TestSignal() { DeleteGate(gate_); }
  TestSignal(const TestSignal&) = delete;
  TestSignal& operator=(const TestSignal&) = delete;
  void Raise() {
    Set(true);
    GateWake(gate_);
  }
  void Clear() { Set(false); }
  // True when the flag is raised within ms milliseconds.
  bool Wait(unsigned ms) {
    const double end = MonotonicSeconds() + ms / 1000.0;
    GateLock(gate_);
    // A wake-up may be early or for an earlier raise: the flag decides.
    for (double left = ms / 1000.0; !raised_ && left > 0; left = end - MonotonicSeconds())
      GateWait(gate_, left);
    const bool raised = raised_;
    GateUnlock(gate_);
    return raised;
  }

 private:
  void Set(bool raised) {
    GateLock(gate_);
    raised_ = raised;
    GateUnlock(gate_);
  }
  Gate* gate_;
  bool raised_ = false;
};
