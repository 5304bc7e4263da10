// Start-up and shutdown of the Linux program, in the order of the Windows
// one: state, command tail, port (and its hardware test, before any
// window), title, window and listener, event loop.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/command_tail.h"
#include "app/fltk_front.h"
#include "app/main_window.h"
#include "lights/light_control.h"
#include "lights/parallel_port.h"

namespace {

// The command tail as Windows hands it over: the arguments joined by single
// blanks, without the blanks and control characters that lead it.
std::string JoinArguments(int argc, char** argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  const size_t start = tail.find_first_not_of("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                                              "\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x20");
  return start == std::string::npos ? std::string() : tail.substr(start);
}

}  // namespace

int main(int argc, char** argv) {
  StartUiThread();
  ClearDisplayState();
  PortBase = 0;

  const CommandTail command = ReadCommandTail(JoinArguments(argc, argv).c_str());
  PortBase = command.port;
  StartPortOutput(command.hardwareTest);  // May fall back to the emulation mode.

  FormatMainWindowTitle(PortBase);
  Fl_Window* window = CreateMainWindow(CaptionBuffer);
  window->show();
  Fl::run();

  // The window is closed. The listener is neither signalled nor waited for:
  // it may be blocked in accept or recv, or about to apply a line, so the
  // process ends here without running static destructors under its feet.
  std::fflush(nullptr);
  std::_Exit(0);
}
