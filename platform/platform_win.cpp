// The bottom platform layer on Windows: the performance counter, Sleep,
// Win32 threads, a critical section and an auto-reset event (the win32
// thread model has no std::thread).
#include <windows.h>

#include <cstdlib>

#include "platform/clock.h"
#include "platform/thread.h"

// No operator new and no guarded statics here: either would bring
// libstdc++'s exceptions into lightsend.exe (several times its own size).

double MonotonicSeconds() {
  LARGE_INTEGER frequency, now;  // Asked each time (no static, above): a cheap call.
  QueryPerformanceFrequency(&frequency);
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
  HMODULE pinned;  // Our own reference to a DLL holding this code, or null.
};

static DWORD WINAPI WorkerMain(void* param) {
  Worker* worker = static_cast<Worker*>(param);
  const HMODULE pinned = worker->pinned;
  worker->run(worker->arg);
  if (pinned != nullptr) FreeLibraryAndExitThread(pinned, 0);
  return 0;
}

// When this code is in a DLL (the plug-in), a reference of the thread's
// own: a player that unloads the DLL after a Quit that stopped waiting must
// not pull the code from under the thread. LoadLibrary of its own path, as
// GetModuleHandleEx came only with XP.
static HMODULE PinOwnModule() {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(reinterpret_cast<void*>(&WorkerMain), &info, sizeof info) == 0) return nullptr;
  const HMODULE module = static_cast<HMODULE>(info.AllocationBase);
  if (module == GetModuleHandleA(nullptr)) return nullptr;  // The program: never unloaded.
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  return length > 0 && length < sizeof path ? LoadLibraryA(path) : nullptr;
}

Worker* StartWorker(void (*run)(void*), void* arg) {
  Worker* worker = static_cast<Worker*>(std::malloc(sizeof(Worker)));
  if (worker == nullptr) return nullptr;
  *worker = Worker{nullptr, run, arg, PinOwnModule()};
  worker->thread = CreateThread(nullptr, 0, WorkerMain, worker, 0, nullptr);
  if (worker->thread == nullptr) {
    if (worker->pinned != nullptr) FreeLibrary(worker->pinned);
    std::free(worker);
    return nullptr;
  }
  return worker;
}

// Milliseconds for a wait of `seconds`, rounded up so that a wait never
// ends early, and at most a day (INFINITE and its neighbours never reached).
static DWORD WaitMilliseconds(double seconds) {
  const double ms = seconds * 1000;
  return ms <= 0 ? 0 : ms > 86400000.0 ? 86400000 : DWORD(ms + 0.999);
}

bool JoinWorker(Worker* worker, double seconds) {
  if (WaitForSingleObject(worker->thread, WaitMilliseconds(seconds)) != WAIT_OBJECT_0)
    return false;  // Stuck in a write; the process ends without it.
  CloseHandle(worker->thread);
  std::free(worker);
  return true;
}

struct Gate {
  CRITICAL_SECTION lock;
  HANDLE wake;  // Auto-reset: a wake before the wait is kept for it.
};

Gate* NewGate() {
  Gate* gate = static_cast<Gate*>(std::malloc(sizeof(Gate)));
  if (gate == nullptr) std::abort();  // Callers have no way to go on without it.
  gate->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (gate->wake == nullptr) std::abort();  // Nor without its wake-up.
  InitializeCriticalSection(&gate->lock);
  return gate;
}

void DeleteGate(Gate* gate) {
  CloseHandle(gate->wake);
  DeleteCriticalSection(&gate->lock);
  std::free(gate);
}

void GateLock(Gate* gate) { EnterCriticalSection(&gate->lock); }
void GateUnlock(Gate* gate) { LeaveCriticalSection(&gate->lock); }
void GateWake(Gate* gate) { SetEvent(gate->wake); }

void GateWait(Gate* gate, double seconds) {
  LeaveCriticalSection(&gate->lock);
  if (seconds > 0) WaitForSingleObject(gate->wake, WaitMilliseconds(seconds));
  EnterCriticalSection(&gate->lock);
}
