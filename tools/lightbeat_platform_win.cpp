// lightbeat's platform operations on Windows: Win32 threads, a critical
// section and an auto-reset event (the win32 thread model has no std::thread).
#include "tools/lightbeat_platform.h"

#include <windows.h>
#include <io.h>

#include <cstdio>

double MonotonicSeconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

void SleepSeconds(double seconds) {
  if (seconds > 0) Sleep(DWORD(seconds * 1000 + 0.5));
}

struct Worker {
  HANDLE thread;
  void (*run)(void*);
  void* arg;
};

static DWORD WINAPI WorkerMain(void* param) {
  Worker* worker = static_cast<Worker*>(param);
  worker->run(worker->arg);
  return 0;
}

Worker* StartWorker(void (*run)(void*), void* arg) {
  Worker* worker = new Worker{nullptr, run, arg};
  worker->thread = CreateThread(nullptr, 0, WorkerMain, worker, 0, nullptr);
  if (!worker->thread) {  // No thread: run it here, so nothing is lost.
    run(arg);
  }
  return worker;
}

bool JoinWorker(Worker* worker, double seconds) {
  if (worker->thread) {
    if (WaitForSingleObject(worker->thread, DWORD(seconds * 1000)) != WAIT_OBJECT_0)
      return false;  // Stuck in a write; the process ends without it.
    CloseHandle(worker->thread);
  }
  delete worker;
  return true;
}

struct Gate {
  CRITICAL_SECTION lock;
  HANDLE wake;  // Auto-reset: a wake before the wait is kept for it.
};

Gate* NewGate() {
  Gate* gate = new Gate;
  InitializeCriticalSection(&gate->lock);
  gate->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return gate;
}

void DeleteGate(Gate* gate) {
  CloseHandle(gate->wake);
  DeleteCriticalSection(&gate->lock);
  delete gate;
}

void GateLock(Gate* gate) { EnterCriticalSection(&gate->lock); }
void GateUnlock(Gate* gate) { LeaveCriticalSection(&gate->lock); }
void GateWake(Gate* gate) { SetEvent(gate->wake); }

void GateWait(Gate* gate, double seconds) {
  LeaveCriticalSection(&gate->lock);
  if (seconds > 0) {
    const double ms = seconds * 1000;
    WaitForSingleObject(gate->wake, ms > 86400000.0 ? 86400000 : DWORD(ms + 0.999));
  }
  EnterCriticalSection(&gate->lock);
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
bool TerminalTakesUtf8() { return false; }
