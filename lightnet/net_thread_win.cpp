// The outputs' threads and clock on Windows (lightnet/net_platform.h).
#include <windows.h>

#include <cstdlib>

#include "lightnet/net_platform.h"

struct SenderThread {
  HANDLE thread;
  HANDLE wake;  // Auto-reset: one wake ends one wait.
  void (*body)(void*);
  void* arg;
};

namespace {

DWORD WINAPI SenderMain(void* parameter) {
  SenderThread* sender = static_cast<SenderThread*>(parameter);
  sender->body(sender->arg);
  return 0;
}

}  // namespace

bool StartSenderThread(SenderThread** slot, void (*body)(void*), void* arg) {
  *slot = nullptr;
  SenderThread* sender = static_cast<SenderThread*>(calloc(1, sizeof(SenderThread)));
  if (sender == nullptr) return false;
  sender->body = body;
  sender->arg = arg;
  sender->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // Auto-reset, not signalled.
  if (sender->wake == nullptr) {
    free(sender);
    return false;
  }
  *slot = sender;
  DWORD id = 0;
  sender->thread = CreateThread(nullptr, 0, SenderMain, sender, 0, &id);
  if (sender->thread == nullptr) {
    *slot = nullptr;
    CloseHandle(sender->wake);
    free(sender);
  }
  return *slot != nullptr;
}

void WakeSender(SenderThread* sender) { SetEvent(sender->wake); }

bool WaitForWake(SenderThread* sender, uint32_t milliseconds) {
  return WaitForSingleObject(sender->wake, milliseconds) == WAIT_OBJECT_0;
}

bool JoinSenderThread(SenderThread* sender, uint32_t milliseconds) {
  return WaitForSingleObject(sender->thread, milliseconds) == WAIT_OBJECT_0;
}

void FreeSenderThread(SenderThread* sender) {
  CloseHandle(sender->thread);
  CloseHandle(sender->wake);
  free(sender);
}

uint32_t MonotonicMilliseconds() { return GetTickCount(); }
