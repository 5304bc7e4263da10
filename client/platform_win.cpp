// The clients' platform operations on Windows: the console's Ctrl-C and
// terminals.
#include "client/platform.h"

#include <windows.h>
#include <io.h>

#include <cstdio>

static volatile LONG InterruptSeen = 0;

static BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  InterlockedExchange(&InterruptSeen, 1);
  return TRUE;
}

void InstallInterruptHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
bool Interrupted() { return InterlockedCompareExchange(&InterruptSeen, 0, 0) != 0; }

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
bool TerminalTakesUtf8() { return false; }
