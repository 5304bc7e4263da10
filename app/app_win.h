// The Windows program's own program-wide values and its window procedure.
// Windows-only: included by the *_win.cpp files and the Windows tests, never
// by the shared core, which reaches the window through app/ui_ops.h.
#pragma once
#include <windows.h>

#include <atomic>

// The module, set by WinMain before the window and the listener exist.
extern HINSTANCE AppInstance;

// The main window. PipeWndProc stores it on WM_CREATE, before the listener
// starts, so the listener's first repaint request already names it; WinMain
// stores the same handle again when the creation returns. Atomic because the
// listener reads it while WinMain writes.
extern std::atomic<HWND> MainWindow;

// Created once by WinMain, deleted at shutdown.
extern HBRUSH BlackBrush;
extern HBRUSH YellowBrush;
extern HPEN GrayPen;

LRESULT CALLBACK PipeWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws the status text and the sixteen lamps from a snapshot of DisplayState.
void PaintLamps(HDC dc);
