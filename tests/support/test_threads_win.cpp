#include <windows.h>

#include "tests/support/test_threads.h"

namespace {

struct Start {
  void (*body)(void*);
  void* argument;
};

DWORD WINAPI RunStart(void* parameter) {
  const Start start = *static_cast<Start*>(parameter);
  delete static_cast<Start*>(parameter);
  start.body(start.argument);
  return 0;
}

}  // namespace

void StartDetachedThread(void (*body)(void*), void* argument) {
  HANDLE thread = CreateThread(nullptr, 0, RunStart, new Start{body, argument}, 0, nullptr);
  if (thread != nullptr) CloseHandle(thread);  // Detached: nobody waits for it.
}

TestLock::TestLock() : impl_(new CRITICAL_SECTION) {
  InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
}
TestLock::~TestLock() {
  DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
  delete static_cast<CRITICAL_SECTION*>(impl_);
}
void TestLock::Enter() { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }
void TestLock::Leave() { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }

TestSignal::TestSignal() : impl_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}  // Manual reset.
TestSignal::~TestSignal() { CloseHandle(impl_); }
void TestSignal::Raise() { SetEvent(impl_); }
void TestSignal::Clear() { ResetEvent(impl_); }
bool TestSignal::Wait(unsigned ms) { return WaitForSingleObject(impl_, ms) == WAIT_OBJECT_0; }
