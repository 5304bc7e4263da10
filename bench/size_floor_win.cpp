// The size benchmark's reference: the smallest Windows program that shows
// a box, built and linked as pipeserver.exe is (the same compiler options,
// start-up code and stripping). What pipeserver.exe weighs above it is the
// program's own.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr, "size floor", "size floor", MB_OK);
  return 0;
}
