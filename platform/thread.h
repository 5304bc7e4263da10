// Threads and a lock with a wake-up, for the outputs, the display state,
// the clients and the tests: the bottom layer beside platform/clock.h. One
// file per platform (platform_linux.cpp, platform_win.cpp): the Windows
// builds use Win32 threads, critical sections and events, since their
// thread model has no C++ thread library. No platform header here.
#pragma once

struct Worker;
using WorkerStart = Worker* (*)(void (*run)(void* arg), void* arg);
// Runs run(arg) on a thread of its own; null when no thread could be made
// (nothing has run then). On Windows the thread keeps the module holding
// its code loaded until it ends, so that a DLL unloaded meanwhile stays.
Worker* StartWorker(void (*run)(void* arg), void* arg);
// Waits at most `seconds` for the worker to end; false when it is still
// running (it is then left to the end of the process, and this handle with
// it). Frees the handle when it has ended: one successful call a worker.
bool JoinWorker(Worker* worker, double seconds);

// A lock with a wake-up signal that is not lost when it comes early: a wake
// with no waiter is kept for the next wait.
struct Gate;
Gate* NewGate();
void DeleteGate(Gate* gate);
void GateLock(Gate* gate);
void GateUnlock(Gate* gate);
void GateWake(Gate* gate);  // Without the lock held.
// With the lock held: releases it until woken or `seconds` have passed.
void GateWait(Gate* gate, double seconds);

// Holds a gate's lock for a scope.
class GateHold {
 public:
  explicit GateHold(Gate* gate) : gate_(gate) { GateLock(gate_); }
  ~GateHold() { GateUnlock(gate_); }
  GateHold(const GateHold&) = delete;
  GateHold& operator=(const GateHold&) = delete;

 private:
  Gate* gate_;
};
