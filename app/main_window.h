// The main window's texts and placement, shared by every front end.
#pragma once
#include <cstdint>

#define IDM_ABOUT 0x6000  // The system menu's "About" item.
// "Outputs...", beside "About" only when outputs run. The system keeps a
// system command's low four bits for itself.
#define IDM_OUTPUTS 0x6010

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
