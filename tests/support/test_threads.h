// Threads, a lock and a wake-up for the test and benchmark programs, the
// same on every platform: Win32 calls in the Windows builds (their compiler's
// thread model, the one whose programs load on old Windows, has no C++
// thread library), the C++ library elsewhere. No platform header here.
#pragma once

// Runs body(argument) on a thread of its own that is never joined: it ends
// with the process.
void StartDetachedThread(void (*body)(void*), void* argument);

class TestLock {
 public:
  TestLock();
  ~TestLock();
  TestLock(const TestLock&) = delete;
  TestLock& operator=(const TestLock&) = delete;
  void Enter();
  void Leave();

 private:
  void* impl_;
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
// until it is cleared.
class TestSignal {
 public:
  TestSignal();
  ~TestSignal();
  TestSignal(const TestSignal&) = delete;
  TestSignal& operator=(const TestSignal&) = delete;
  void Raise();
  void Clear();
  // True when the flag is raised within ms milliseconds.
  bool Wait(unsigned ms);

 private:
  void* impl_;
};
