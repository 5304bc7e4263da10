// The few window-system operations that the shared core of app/ needs (the
// listener's sink, the port's and the outputs' boxes, start-up). Each front
// end supplies them; tests link a recording fake. Nothing below app/ calls
// them: light control and the listener hand their results up instead.
#pragma once

// Message-box styles, in the Win32 values so the Windows front end passes
// them through unchanged.
enum : unsigned {
  kBoxOk = 0x00,
  kBoxIconStop = 0x10,         // MB_ICONHAND
  kBoxIconWarning = 0x30,      // MB_ICONEXCLAMATION
  kBoxIconInformation = 0x40,  // MB_ICONINFORMATION
};

// Asks the UI thread to repaint the whole main window. Safe from any thread.
void RequestRepaint();

// Shows a modal message box and returns when the user has closed it.
// owner is a window handle, or nullptr for none.
void ShowMessageBox(void* owner, const char* text, const char* caption, unsigned style);
