// The stand-in front end of the many-client driver: runs the real listener
// on its own thread, with the port in use (a latch-emulating back end), or
// with "soak_host emulation" in the emulation mode (PortBase 0: any port
// access is a fault and prints "port access ..."). One line per event:
//   state status=">5L1234" lamps=34 12 latches=34 12
//   box caption="Debug Window" text="..." style=0x40
//   ended code=0          (then the process ends)
// The main thread answers requests on standard input:
//   handles   -> "handles N" (this process's open handles or descriptors)
//   quit      -> ends the process
// One line per write, under a lock, so the two threads' lines never mix.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/listener_sink.h"
#include "app/ui_ops.h"
#include "lights/light_control.h"
#include "lights/parallel_port.h"
#include "res/string_table.h"
#include "tests/soak/latch_port.h"
#include "tests/soak/soak_platform.h"
#include "tests/support/escape.h"
#include "tests/support/test_threads.h"

namespace {
TestLock OutputLock;
}  // namespace

void PrintLine(const char* line) {
  TestLockHold hold(OutputLock);
  std::fputs(line, stdout);
  std::fflush(stdout);
}

void RequestRepaint() {
  const DisplayStateRecord state = SnapshotDisplayState();
  uint8_t latch0, latch1;
  LatchedBytes(&latch0, &latch1);
  char status[kEscapedStatusSize];
  EscapeText(state.StatusText, status);
  char line[96];
  std::snprintf(line, sizeof line, "state status=\"%s\" lamps=%02x %02x latches=%02x %02x\n", status,
                state.Lamps & 0xFF, state.Lamps >> 8, latch0, latch1);
  PrintLine(line);
}

void ShowMessageBox(void*, const char* text, const char* caption, unsigned style) {
  char escapedCaption[256], escapedText[1024], line[1400];
  EscapeText(caption, escapedCaption);
  EscapeText(text, escapedText);
  std::snprintf(line, sizeof line, "box caption=\"%s\" text=\"%s\" style=0x%x\n", escapedCaption, escapedText, style);
  PrintLine(line);
}

int LoadText(unsigned id, char* buffer, int size) { return CopyStringTableText(id, buffer, size); }

int main(int argc, char** argv) {
  ClearDisplayState();
  if (argc < 2 || std::strcmp(argv[1], "emulation") != 0) {
    PortBase = 0x378;
    PortSetUp();  // As start-up does: both strobe pins low before any output.
  }
  StartDetachedThread(
      [](void*) {
        NameListenerThread();
        const int code = RunListener(ProgramListenerSink(nullptr));
        char line[32];
        std::snprintf(line, sizeof line, "ended code=%d\n", code);
        PrintLine(line);
        std::_Exit(0);  // A listener that ends (a second copy) ends its host.
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
