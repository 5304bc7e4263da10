// The listener's error box, formatted here in buffers of its own: the
// listener's thread touches none of the shell's.
#include "pipe/pipe_error_box.h"

#include <cstdio>

#include "lights/ui_ops.h"
#include "res/load_text.h"
#include "res/strings.h"

void ShowPipeError(void* owner, long code) {
  char format[256] = "";
  char caption[256] = "";
  char errorText[80] = "";
  LoadText(IDS_PIPE_ERROR, format, 255);
  std::snprintf(errorText, sizeof errorText, format, code);
  LoadText(IDS_DEBUG_CAPTION, caption, 255);
  ShowMessageBox(owner, errorText, caption, kBoxOk | kBoxIconInformation);
}
