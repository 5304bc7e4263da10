// The UI operations of app/ui_ops.h and the texts of app/load_text.h for
// the Win32 front end.
#include "app/ui_ops.h"

#include "app/app_win.h"
#include "app/load_text.h"

void RequestRepaint() {
  // The whole client area, erased first: the picture is drawn anew each time.
  InvalidateRect(MainWindow.load(), nullptr, TRUE);
}

void ShowMessageBox(void* owner, const char* text, const char* caption, unsigned style) {
  MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}

// From the program's own resources.
int LoadText(unsigned id, char* buffer, int size) { return LoadStringA(AppInstance, id, buffer, size); }
