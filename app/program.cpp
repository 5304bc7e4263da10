// Start-up and shutdown, in the order both front ends keep. No platform
// header: the window system's steps are behind app/shell_ops.h.
#include "app/program.h"

#include "app/command_tail.h"
#include "app/load_text.h"
#include "app/main_window.h"
#include "app/output_start.h"
#include "app/lamp_path.h"
#include "app/shell_ops.h"
#include "app/ui_ops.h"
#include "lights/light_control.h"
#include "lightnet/outputs.h"
#include "res/strings.h"

int RunProgram(const char* commandTail) {
  if (!PlatformIsSupported()) {
    LoadText(IDS_NOT_NT, CaptionBuffer, 255);
    ShowMessageBox(nullptr, CaptionBuffer, APP_TITLE, kBoxOk | kBoxIconStop);
    return 0;  // Nothing has been created yet.
  }

  CreateDrawingObjects();
  ClearDisplayState();  // PortBase is 0, the emulation mode, until the tail names a port.
  RegisterMainWindowClass();

  const CommandTail tail = ReadCommandTail(commandTail);
  PortBase = tail.port;
  // Before any window: the test's boxes describe the pins while they show,
  // and a port without access falls back to the emulation mode here.
  StartPort(tail.hardwareTest);
  StartNamedOutputs(commandTail);  // Its words begin with "--": never the port's.
  FormatMainWindowTitle(PortBase);

  void* window = CreateMainWindow(CaptionBuffer);
  AddAboutToSystemMenu(window);
  ShowMainWindow(window);
  const int exitCode = RunMessageLoop();
  StopOutputs();  // Their last packets: receivers learn that the lamps' source has gone.

  // The listener is neither signalled nor waited for: it ends with the process.
  DeleteDrawingObjects();
  return exitCode;
}
