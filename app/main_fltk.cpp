// The Linux program's entry and its window-system steps of start-up and
// shutdown (app/shell_ops.h); the order is RunProgram's (app/program.cpp).
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/fltk_front.h"
#include "app/output_start.h"
#include "app/program.h"
#include "app/shell_ops.h"
#include "lightnet/output_options.h"

namespace {

int ExitSignals = -1;       // The signalfd; -1 when it could not be made.
bool Headless = false;      // --no-window.
bool ExitAsked = false;     // UI thread only.

// Before any thread: the threads made later (outputs, listener) inherit
// the mask, so the signals wait, pending, for the main thread's signalfd.
void BlockExitSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  ExitSignals = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  // Without a signalfd the signals keep their default action: an abrupt
  // end, but an end.
  if (ExitSignals >= 0) pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// Closing by a signal is closing the window: every window goes (a box
// included), so Fl::run returns and RunProgram sends the last packets.
void OnExitSignal(FL_SOCKET, void*) {
  if (TakeExitSignal() == 0) return;
  ExitAsked = true;
  while (Fl_Window* window = Fl::first_window()) window->hide();
}

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

int ExitSignalDescriptor() { return ExitSignals; }

int TakeExitSignal() {
  signalfd_siginfo info;
  if (ExitSignals < 0 || read(ExitSignals, &info, sizeof info) != ssize_t(sizeof info)) return 0;
  return int(info.ssi_signo);
}

bool ExitRequested() { return ExitAsked; }
bool RunsHeadless() { return Headless; }

// The pipe's stand-in, the abstract socket, is there on every Linux.
bool PlatformIsSupported() { return true; }

// FLTK draws with colours, not objects: nothing to create or delete.
void CreateDrawingObjects() {}
void DeleteDrawingObjects() {}

// The class name goes onto the window itself (WM_CLASS), when it is made.
void RegisterMainWindowClass() {}

// X has no system menu: the window's own pop-up menu carries "About".
void AddAboutToSystemMenu(void*) {}

void ShowMainWindow(void* window) {
  if (Headless || ExitAsked) return;  // No window, or a signal came during start-up's boxes.
  static_cast<Fl_Window*>(window)->show();
}

// Ends when the main window is closed or an exit signal comes, with the
// code of a normal end; without a window, on an exit signal.
int RunMessageLoop() {
  if (Headless) return WaitHeadless();
  if (!ExitAsked) Fl::run();
  return 0;
}

int main(int argc, char** argv) {
  BlockExitSignals();
  const std::string tail = JoinArguments(argc, argv);
  // Before any window: --help, or a fault in the outputs' options.
  const int early = CheckOutputOptionsOnConsole(tail.c_str());
  if (early >= 0) return early;
  static OutputOptions options;  // Large: not on the stack.
  ReadOutputOptions(tail.c_str(), &options);
  Headless = options.noWindow;
  if (!Headless) {
    // FLTK's lock, so that the listener can wake the UI, and the note of
    // which thread the UI is, which message boxes need from the start.
    StartUiThread();
    if (ExitSignals >= 0) Fl::add_fd(ExitSignals, FL_READ, OnExitSignal);
  }
  const int exitCode = RunProgram(tail.c_str());

  // The listener is neither signalled nor waited for: it may be blocked in
  // accept or recv, or about to apply a line, so the process ends here
  // without running static destructors under its feet.
  std::fflush(nullptr);
  std::_Exit(exitCode);
}
