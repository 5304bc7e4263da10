#include "app/main_window.h"

#include <cstdio>

#include "pipe/pipe_name.h"
#include "app/load_text.h"
#include "res/strings.h"
#include "res/version.h"

char CaptionBuffer[256];
void (*NotePaint)(void* window) = nullptr;

WindowPlace MainWindowPlace(int screenWidth, int screenHeight) {
  // Integer division truncates toward zero, as the placement wants even on
  // a screen smaller than the window.
  return {(screenWidth - 246) / 2, (screenHeight - kWindowHeight) / 2, kWindowWidth, kWindowHeight};
}

void FormatMainWindowTitle(uint16_t port) {
  char format[200];
  LoadText(IDS_TITLE_FORMAT, format, sizeof format);
  std::snprintf(CaptionBuffer, 255, format, unsigned(port));
}

const char* const kAboutText =
    "Simple Pipe Server V" VERSION_SHORT " for the Vantrelle plugin.\n"
    "Reading winamp data from the pipe:\n"
    PIPE_WINDOWS_PATH "\n"
    "\n"
    "Startup parameter:\n"
    "-p PortNr\n"
    "e.g. 378, 278, 3BC for LPTx or 000 for EMU\n"
    "call it with upper case '-P PortNr' for HW test\n"
    "\n"
    "Two rows of eight lamps, most significant bit at the left.";
