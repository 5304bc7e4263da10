// The Linux front end's pieces (FLTK on X11), shared by its few files.
// Platform-free code sees only app/ui_ops.h; this header is for app/*_fltk.cpp.
#pragma once

class Fl_Window;

// Called first on the UI thread: takes FLTK's lock, so that the listener
// can wake the UI with Fl::awake, and notes which thread the UI is.
void StartUiThread();

// True on the thread that called StartUiThread.
bool OnUiThread();

// The window that RequestRepaint redraws; nullptr until it exists.
void SetRepaintTarget(Fl_Window* window);

// Draws the status text and the sixteen lamps into the current FLTK
// drawing context, on black over the whole client area (width x height).
void PaintLamps(int width, int height);

// The About box, as the Windows system menu's "About" shows it.
void ShowAboutBox();

// Shows a message box on the UI thread and returns when it has been closed.
// The box's window title is the caption; its text and style are also put
// on the window as the properties _PIPESERVER_BOX_TEXT and
// _PIPESERVER_BOX_STYLE, since X, unlike Windows, gives other programs no
// way to read a dialog's text.
void RunMessageBox(const char* text, const char* caption, unsigned style);

// --- Ending on a signal (main_fltk.cpp) ---------------------------------
// SIGTERM, SIGINT and SIGHUP end the program as closing its window does.
// main blocks them before any thread exists, so every thread has them
// blocked, and the main thread reads them from a signalfd: no handler runs.

// The signalfd, readable while an exit signal is pending.
int ExitSignalDescriptor();
// Takes one pending exit signal: its number, or 0 when none was pending.
int TakeExitSignal();
// True once an exit signal has asked the windowed program to close: boxes
// still to come are not shown, and the message loop is not entered.
bool ExitRequested();

// --- The run without a window (--no-window, headless_linux.cpp) ---------
// No FLTK call is made in it, so it needs no display.
bool RunsHeadless();
// Starts the listener, which says its state on standard error; nullptr.
void* StartHeadlessListener();
// Waits for an exit signal (0) or the listener's end (1); the exit code.
int WaitHeadless();
// A message box's text and caption as one line on standard error.
void SayMessageBox(const char* text, const char* caption);
