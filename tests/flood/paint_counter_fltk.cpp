// The paint counter of the Linux flood tests' build of the program: after
// each paint of the main window, the window's property _PIPESERVER_PAINTS
// holds the number of paints so far, in decimal, for xprobe to read.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include <cstdio>

#include "app/main_window.h"

static void CountPaint(void* main) {
  auto* window = static_cast<Fl_Window*>(main);
  static unsigned long paints = 0;  // Only the UI thread paints.
  ++paints;
  if (!fl_display || !fl_xid(window)) return;
  char text[24];
  const int length = std::snprintf(text, sizeof text, "%lu", paints);
  static const Atom property = XInternAtom(fl_display, "_PIPESERVER_PAINTS", False);
  XChangeProperty(fl_display, fl_xid(window), property, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<unsigned char*>(text), length);
}

// Set before main runs: this file is linked into the program itself.
[[maybe_unused]] static const bool counting = (NotePaint = CountPaint, true);
