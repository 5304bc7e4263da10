// The outputs' threads and clock on Linux (lightnet/net_platform.h).
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "lightnet/net_platform.h"

struct SenderThread {
  std::mutex lock;
  std::condition_variable changed;
  bool woken = false;
  bool ended = false;
  std::thread thread;
};

bool StartSenderThread(SenderThread** slot, void (*body)(void*), void* arg) {
  SenderThread* sender = new SenderThread;
  *slot = sender;
  sender->thread = std::thread([sender, body, arg] {
    body(arg);
    std::lock_guard<std::mutex> hold(sender->lock);
    sender->ended = true;
    sender->changed.notify_all();
  });
  return true;
}

void WakeSender(SenderThread* sender) {
  std::lock_guard<std::mutex> hold(sender->lock);
  sender->woken = true;
  sender->changed.notify_all();
}

bool WaitForWake(SenderThread* sender, uint32_t milliseconds) {
  std::unique_lock<std::mutex> hold(sender->lock);
  sender->changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [sender] { return sender->woken; });
  const bool woken = sender->woken;
  sender->woken = false;
  return woken;
}

bool JoinSenderThread(SenderThread* sender, uint32_t milliseconds) {
  {
    std::unique_lock<std::mutex> hold(sender->lock);
    if (!sender->changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [sender] { return sender->ended; }))
      return false;  // Left running: the process ends without it.
  }
  sender->thread.join();  // At once: the body has returned.
  return true;
}

void FreeSenderThread(SenderThread* sender) { delete sender; }

uint32_t MonotonicMilliseconds() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
