// The stand-in front end of the many-client driver: runs the real listener
// on its own thread, with the port in use (the quiet fake port, whose
// latches show what the lamps would), or with "soak_host emulation" in the
// emulation mode (PortBase 0: any port access is a fault and prints "port
// access ..."). One line per event:
//   state status=">5L1234" lamps=34 12 latches=34 12
//   BOX 40 Debug Window: <text>
//   ended code=0          (then the process ends)
// The main thread answers requests on standard input:
//   handles   -> "handles N" (this process's open handles or descriptors)
//   quit      -> ends the process
// One whole line per write (fake_ui::PrintLine), so the two threads' lines
// never mix.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/listener_sink.h"
#include "lights/light_control.h"
#include "lights/parallel_port.h"
#include "tests/fakes/fake_port.h"
#include "tests/fakes/fake_ui.h"
#include "tests/soak/soak_platform.h"
#include "tests/support/escape.h"
#include "tests/support/test_threads.h"

namespace {

void PrintState() {
  const DisplayStateRecord state = SnapshotDisplayState();
  uint8_t latch0, latch1;
  fake_port::LatchedBytes(&latch0, &latch1);
  char status[kEscapedStatusSize];
  EscapeText(state.StatusText, status);
  char line[96];
  std::snprintf(line, sizeof line, "state status=\"%s\" lamps=%02x %02x latches=%02x %02x\n", status,
                state.Lamps & 0xFF, state.Lamps >> 8, latch0, latch1);
  fake_ui::PrintLine(line);
}

// In the emulation mode no access may come: one is printed, and is a line
// the driver does not expect.
void FaultInEmulation(const PortAccess& access) {
  if (PortBase != 0) return;
  static const char* const kKinds[] = {"open", "read", "write"};
  char line[48];
  std::snprintf(line, sizeof line, "port access %s 0x%x\n", kKinds[access.kind], unsigned(access.address));
  fake_ui::PrintLine(line);
}

}  // namespace

int main(int argc, char** argv) {
  fake_port::Use(fake_port::kQuiet);  // Thousands of sessions: nothing may pile up.
  fake_port::Watch(FaultInEmulation);
  fake_ui::Use(fake_ui::kPrint);
  fake_ui::OnRepaint(PrintState);
  ClearDisplayState();
  if (argc < 2 || std::strcmp(argv[1], "emulation") != 0) {
    PortBase = 0x378;
    fake_port::SetReadValue(PortBase + 2, 0xC4);  // Arbitrary other bits, which must survive.
    PortSetUp();  // As start-up does: both strobe pins low before any output.
  }
  StartDetachedThread(
      [](void*) {
        NameListenerThread();
        const int code = RunListener(ProgramListenerSink(nullptr));
        char line[32];
        std::snprintf(line, sizeof line, "ended code=%d\n", code);
        fake_ui::PrintLine(line);
        std::_Exit(0);  // A listener that ends (a second copy) ends its host.
      },
      nullptr);

  char request[64];
  while (std::fgets(request, sizeof request, stdin) != nullptr) {
    if (std::strncmp(request, "handles", 7) == 0) {
      char line[32];
      std::snprintf(line, sizeof line, "handles %ld\n", OpenHandleCount());
      fake_ui::PrintLine(line);
    }
    if (std::strncmp(request, "quit", 4) == 0) break;
  }
  std::fflush(stdout);
  std::_Exit(0);  // The listener is never stopped: it ends with the process.
}
