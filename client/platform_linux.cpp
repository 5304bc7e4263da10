// The clients' platform operations on Linux: std::thread and friends.
#include "client/platform.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

struct Worker {
  std::thread thread;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
};

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
    return false;
  }
  worker->thread.join();
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

namespace {
volatile std::sig_atomic_t InterruptSeen = 0;
void OnInterrupt(int) { InterruptSeen = 1; }
}  // namespace

void InstallInterruptHandler() {
  struct sigaction action{};
  action.sa_handler = OnInterrupt;  // No SA_RESTART: a pause ends at once.
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return InterruptSeen != 0; }

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }
bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool TerminalTakesUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::strstr(value, "UTF-8") || std::strstr(value, "utf8");
  }
  return false;
}
