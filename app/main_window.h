// The main window's texts and placement, shared by every front end, and the
// one buffer for window-title and message texts.
#pragma once
#include <cstdint>

#include "res/product.h"  // APP_TITLE, which captions the shell's boxes.

#define IDM_ABOUT 0x6000  // The system menu's "About" item.
// "Outputs...", beside "About" only when outputs run. The system keeps a
// system command's low four bits for itself.
#define IDM_OUTPUTS 0x6010

// Window titles and message texts: at most 254 characters and a zero.
// Written and read by start-up alone.
extern char CaptionBuffer[256];

constexpr int kWindowWidth = 266;
constexpr int kWindowHeight = 113;

struct WindowPlace {
  int x, y, width, height;
};

// Where the main window opens on a screen whose full-screen client area is
// screenWidth x screenHeight. The horizontal centring subtracts 246, not the
// width, so the window stands 10 pixels right of the centre.
WindowPlace MainWindowPlace(int screenWidth, int screenHeight);

// Formats the title ("Pipe Server Vantrelle (p:378)") from the string
// table's format and the port into CaptionBuffer.
void FormatMainWindowTitle(uint16_t port);

// The About box's text, lines joined by line feeds.
extern const char* const kAboutText;

// Called by the main window after each paint, with its window (HWND or
// Fl_Window*), when set. The programs leave it null; the flood tests' builds
// set one that counts, to see that a flood of lines does not paint once per
// line.
extern void (*NotePaint)(void* window);
