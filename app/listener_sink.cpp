// The program's side of the listener. The error box is formatted here in
// buffers of its own: the listener's thread touches none of the shell's.
#include "app/listener_sink.h"

#include <cstdio>

#include "app/lamp_path.h"
#include "app/ui_ops.h"
#include "lights/light_control.h"
#include "app/load_text.h"
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

namespace {

void TakeLine(void*, const char* line) { TakeLightLine(line); }

void TakeError(void* owner, long code) { ShowPipeError(owner, code); }

}  // namespace

ListenerSink ProgramListenerSink(void* owner) {
  return ListenerSink{owner, TakeLine, TakeError, nullptr};
}

int RunListener(const ListenerSink& sink) {
  ClearLampBanks();
  return PipeListenThread(sink);
}
