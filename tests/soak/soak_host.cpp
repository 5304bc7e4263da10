// The soak's stand-in front end: runs the real listener on its own thread,
// with the port in use (a latch-emulating back end), and prints on every
// repaint request what the window shows and what the latches hold:
//   state status=">5L1234" lamps=34 12 latches=34 12
// The main thread answers requests on standard input:
//   handles   -> "handles N" (this process's open handles or descriptors)
//   quit      -> ends the process
// One line per write, under a lock, so the two threads' lines never mix.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lights/light_control.h"
#include "lights/parallel_port.h"
#include "lights/ui_ops.h"
#include "pipe/pipe_listener.h"
#include "res/string_table.h"
#include "tests/soak/latch_port.h"
#include "tests/soak/host_platform.h"
#include "tests/support/escape.h"
#include "tests/support/test_threads.h"

namespace {

TestLock OutputLock;

void PrintLine(const char* line) {
  TestLockHold hold(OutputLock);
  std::fputs(line, stdout);
  std::fflush(stdout);
}

}  // namespace

void RequestRepaint() {
  const DisplayStateRecord state = SnapshotDisplayState();
  uint8_t latch0, latch1;
  LatchedBytes(&latch0, &latch1);
  char status[kEscapedStatusSize];
  EscapeText(state.StatusText, status);
  char line[96];
  std::snprintf(line, sizeof line, "state status=\"%s\" lamps=%02x %02x latches=%02x %02x\n", status,
                state.LampBank0, state.LampBank1, latch0, latch1);
  PrintLine(line);
}

void ShowMessageBox(void*, const char* text, const char* caption, unsigned) {
  char line[512];
  std::snprintf(line, sizeof line, "box caption=\"%s\" text=\"%s\"\n", caption, text);
  PrintLine(line);
}

int LoadText(unsigned id, char* buffer, int size) { return CopyStringTableText(id, buffer, size); }

int main() {
  ClearDisplayState();
  PortBase = 0x378;
  PortSetUp();  // As start-up does: both strobe pins low before any output.
  StartDetachedThread(
      [](void*) {
        NameListenerThread();
        const int code = PipeListenThread(nullptr);
        char line[32];
        std::snprintf(line, sizeof line, "ended code=%d\n", code);
        PrintLine(line);
      },
      nullptr);

  char request[64];
  while (std::fgets(request, sizeof request, stdin) != nullptr) {
    if (std::strncmp(request, "handles", 7) == 0) {
      char line[32];
      std::snprintf(line, sizeof line, "handles %ld\n", OpenHandleCount());
      PrintLine(line);
    }
    if (std::strncmp(request, "quit", 4) == 0) break;
  }
  std::fflush(stdout);
  std::_Exit(0);  // The listener is never stopped: it ends with the process.
}
