#include "pipe/pipe_error_box.h"

#include <cstdio>

#include "app/caption.h"
#include "lights/ui_ops.h"
#include "res/load_text.h"
#include "res/strings.h"

void ShowPipeError(void* owner, long code) {
  char errorText[80] = "";
  // CaptionBuffer is free here: start-up is done with the window title.
  LoadText(IDS_PIPE_ERROR, CaptionBuffer, 255);
  std::snprintf(errorText, sizeof errorText, CaptionBuffer, code);
  LoadText(IDS_DEBUG_CAPTION, CaptionBuffer, 255);
  ShowMessageBox(owner, errorText, CaptionBuffer, kBoxOk | kBoxIconInformation);
}
