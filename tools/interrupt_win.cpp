#include <windows.h>

#include <atomic>

#include "tools/interrupt.h"

namespace {

std::atomic<bool> InterruptSeen{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  InterruptSeen = true;
  return TRUE;
}

}  // namespace

void InstallInterruptHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool Interrupted() { return InterruptSeen; }
