// The window-system steps of start-up and shutdown, in the order that
// RunProgram (app/program.cpp) takes them. Each front end supplies them:
// winmain_win.cpp (Win32), main_fltk.cpp (FLTK); where a window system has
// nothing to do for a step, its function says why.
#pragma once

// The named pipe needs the Windows NT family; anything else is refused.
bool PlatformIsSupported();

// BlackBrush, YellowBrush and GrayPen.
void CreateDrawingObjects();

// The class "PipeWClass" with PipeWndProc, the icon "npserver", the arrow
// cursor and BlackBrush as the background.
void RegisterMainWindowClass();

// Creates the main window with the title, placed by MainWindowPlace; the
// listener starts during its creation (WM_CREATE), and MainWindow is set.
// Returns the window's handle.
void* CreateMainWindow(const char* title);

// A separator and "About" (IDM_ABOUT) at the end of the system menu.
void AddAboutToSystemMenu(void* window);

// Shows the window with the show state the process was given.
void ShowMainWindow(void* window);

// Dispatches messages until the quit message; returns its code.
int RunMessageLoop();

// Deletes BlackBrush, YellowBrush and GrayPen, in this order.
void DeleteDrawingObjects();
