#include <windows.h>

#include "lights/display_lock.h"

namespace {

// Initialized before WinMain (and before any test's main) by a static
// constructor, so no caller ever meets it uninitialized.
struct CriticalSection {
  CRITICAL_SECTION section;
  CriticalSection() { InitializeCriticalSection(&section); }
} DisplayLock;

}  // namespace

void DisplayLockEnter() { EnterCriticalSection(&DisplayLock.section); }
void DisplayLockLeave() { LeaveCriticalSection(&DisplayLock.section); }
