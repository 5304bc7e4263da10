// The Linux front end's pieces (FLTK on X11), shared by its few files.
// Platform-free code sees only lights/ui_ops.h; this header is for app/*_fltk.cpp.
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
