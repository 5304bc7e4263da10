// The paint counter of the Windows flood tests' build of the program: after
// each WM_PAINT, the window's property "PipeserverPaints" holds the number
// of paints so far, which GetPropA reads from another process.
#include <windows.h>

#include <cstdint>

void CountPaint(HWND window) {
  static uintptr_t paints = 0;  // Only the UI thread paints.
  ++paints;
  SetPropA(window, "PipeserverPaints", reinterpret_cast<HANDLE>(paints));
}
