// The paint counter of the Windows flood tests' build of the program: after
// each WM_PAINT, the window's property "PipeserverPaints" holds the number
// of paints so far, which GetPropA reads from another process.
#include <windows.h>

#include <cstdint>

#include "app/main_window.h"

static void CountPaint(void* main) {
  HWND window = static_cast<HWND>(main);
  static uintptr_t paints = 0;  // Only the UI thread paints.
  ++paints;
  SetPropA(window, "PipeserverPaints", reinterpret_cast<HANDLE>(paints));
}

// Set before main runs: this file is linked into the program itself.
[[maybe_unused]] static const bool counting = (NotePaint = CountPaint, true);
