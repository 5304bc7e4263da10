// The soak's stand-in front end: runs the real listener on its own thread,
// with the port in use (a latch-emulating back end), and prints on every
// repaint request what the window shows and what the latches hold:
//   state status=">5L1234" lamps=34 12 latches=34 12
// The main thread answers requests on standard input:
//   handles   -> "handles N" (this process's open handles or descriptors)
//   quit      -> ends the process
// One line per write, under a lock, so the two threads' lines never mix.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "lights/light_control.h"
#include "lights/parallel_port.h"
#include "lights/ui_ops.h"
#include "pipe/pipe_listener.h"
#include "res/string_table.h"
#include "tests/soak/latch_port.h"
#include "tests/soak/host_platform.h"

namespace {

std::mutex OutputLock;

void PrintLine(const std::string& line) {
  std::lock_guard<std::mutex> hold(OutputLock);
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

// Printable ASCII as it is; quotes, backslashes and everything else as \xNN.
std::string Escape(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char code[5];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      out += code;
    }
  }
  return out;
}

}  // namespace

void RequestRepaint() {
  const DisplayStateRecord state = SnapshotDisplayState();
  uint8_t latch0, latch1;
  LatchedBytes(&latch0, &latch1);
  char tail[48];
  std::snprintf(tail, sizeof tail, "\" lamps=%02x %02x latches=%02x %02x\n", state.LampBank0, state.LampBank1,
                latch0, latch1);
  PrintLine("state status=\"" + Escape(state.StatusText) + tail);
}

void ShowMessageBox(void*, const char* text, const char* caption, unsigned) {
  PrintLine("box caption=\"" + Escape(caption) + "\" text=\"" + Escape(text) + "\"\n");
}

int LoadText(unsigned id, char* buffer, int size) { return CopyStringTableText(id, buffer, size); }

int main() {
  ClearDisplayState();
  PortBase = 0x378;
  PortSetUp();  // As start-up does: both strobe pins low before any output.
  std::thread([] {
    NameListenerThread();
    const int code = PipeListenThread(nullptr);
    PrintLine("ended code=" + std::to_string(code) + "\n");
  }).detach();

  char request[64];
  while (std::fgets(request, sizeof request, stdin) != nullptr) {
    if (std::strncmp(request, "handles", 7) == 0) PrintLine("handles " + std::to_string(OpenHandleCount()) + "\n");
    if (std::strncmp(request, "quit", 4) == 0) break;
  }
  std::fflush(stdout);
  std::_Exit(0);  // The listener is never stopped: it ends with the process.
}
