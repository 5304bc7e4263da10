#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/support/test_threads.h"

namespace {

struct Flag {
  std::mutex lock;
  std::condition_variable changed;
  bool raised = false;
};

}  // namespace

void StartDetachedThread(void (*body)(void*), void* argument) {
  std::thread(body, argument).detach();
}

TestLock::TestLock() : impl_(new std::mutex) {}
TestLock::~TestLock() { delete static_cast<std::mutex*>(impl_); }
void TestLock::Enter() { static_cast<std::mutex*>(impl_)->lock(); }
void TestLock::Leave() { static_cast<std::mutex*>(impl_)->unlock(); }

TestSignal::TestSignal() : impl_(new Flag) {}
TestSignal::~TestSignal() { delete static_cast<Flag*>(impl_); }

void TestSignal::Raise() {
  Flag* flag = static_cast<Flag*>(impl_);
  // Notified under the lock: a waiter cannot return, and the flag be
  // destroyed, while this thread still uses it.
  std::lock_guard<std::mutex> hold(flag->lock);
  flag->raised = true;
  flag->changed.notify_all();
}

void TestSignal::Clear() {
  Flag* flag = static_cast<Flag*>(impl_);
  std::lock_guard<std::mutex> hold(flag->lock);
  flag->raised = false;
}

bool TestSignal::Wait(unsigned ms) {
  Flag* flag = static_cast<Flag*>(impl_);
  std::unique_lock<std::mutex> hold(flag->lock);
  return flag->changed.wait_for(hold, std::chrono::milliseconds(ms), [flag] { return flag->raised; });
}
