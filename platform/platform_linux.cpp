// The bottom platform layer on Linux: std::chrono's steady clock,
// std::thread and friends.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/clock.h"
#include "platform/thread.h"

double MonotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SleepSeconds(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

struct Worker {
  std::thread thread;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  Worker* nextAbandoned = nullptr;
};

namespace {
// Workers whose join gave up, kept reachable to the end of the process:
// their threads may still use them (and a leak checker sees no leak).
std::mutex abandonedLock;
Worker* abandoned = nullptr;
}  // namespace

Worker* StartWorker(void (*run)(void*), void* arg) {
  Worker* worker = new Worker;
  try {
    worker->thread = std::thread([worker, run, arg] {
      run(arg);
      std::lock_guard<std::mutex> hold(worker->mutex);
      worker->done = true;
      worker->ended.notify_all();
    });
  } catch (const std::system_error&) {  // No thread to be had.
    delete worker;
    return nullptr;
  }
  return worker;
}

bool JoinWorker(Worker* worker, double seconds) {
  bool done;
  {
    std::unique_lock<std::mutex> hold(worker->mutex);
    done = worker->ended.wait_for(hold, std::chrono::duration<double>(seconds),
                                  [worker] { return worker->done; });
  }
  if (!done) {
    worker->thread.detach();  // Stuck in a write; the process ends without it.
    std::lock_guard<std::mutex> hold(abandonedLock);
    worker->nextAbandoned = abandoned;
    abandoned = worker;
    return false;
  }
  worker->thread.join();  // At once: run has returned.
  delete worker;
  return true;
}

struct Gate {
  std::mutex mutex;
  std::condition_variable wake;
  bool woken = false;
};

Gate* NewGate() { return new Gate; }
void DeleteGate(Gate* gate) { delete gate; }
void GateLock(Gate* gate) { gate->mutex.lock(); }
void GateUnlock(Gate* gate) { gate->mutex.unlock(); }

void GateWake(Gate* gate) {
  // Takes the lock: never called with it held.
  std::lock_guard<std::mutex> hold(gate->mutex);
  gate->woken = true;
  gate->wake.notify_all();
}

void GateWait(Gate* gate, double seconds) {
  std::unique_lock<std::mutex> hold(gate->mutex, std::adopt_lock);
  if (seconds > 0)
    gate->wake.wait_for(hold, std::chrono::duration<double>(seconds),
                        [gate] { return gate->woken; });
  gate->woken = false;
  hold.release();  // The caller still holds the lock.
}
