// A stand-in front end for the end-to-end tests: runs the real listener and
// prints, on every repaint request, what the window would show, and every
// message box. One line each, flushed at once, so a script can follow:
//   state status=">5L1234" lamps=34 12
//   box caption="Debug Window" text="..." style=0x40
//   ended code=0
#include <cstdio>
#include <string>

#include "lights/light_control.h"
#include "lights/ui_ops.h"
#include "pipe/pipe_listener.h"
#include "port/port_io.h"
#include "res/string_table.h"

namespace {

// Printable ASCII as it is; quotes, backslashes and everything else as \xNN,
// so a carriage return or a NUL in a line shows.
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
  std::printf("state status=\"%s\" lamps=%02x %02x\n", Escape(state.StatusText).c_str(),
              state.LampBank0, state.LampBank1);
}

void ShowMessageBox(void*, const char* text, const char* caption, unsigned style) {
  std::printf("box caption=\"%s\" text=\"%s\" style=0x%x\n", Escape(caption).c_str(),
              Escape(text).c_str(), style);
}

// The host runs in the emulation mode (PortBase 0): a port access would be a
// fault, and shows up as a line the scripts do not expect.
bool PortAccessOpen(uint16_t base) {
  std::printf("port open 0x%x\n", base);
  return false;
}

void FormatNoPortAccessMessage(uint16_t, char* text, size_t size) {
  std::snprintf(text, size, "no port in the listener host");
}

uint8_t PortRead8(uint16_t address) {
  std::printf("port read 0x%x\n", address);
  return 0;
}

void PortWrite8(uint16_t address, uint8_t value) {
  std::printf("port write 0x%x 0x%02x\n", address, value);
}

int LoadText(unsigned id, char* buffer, int size) { return CopyStringTableText(id, buffer, size); }

int main() {
  // Unbuffered: under Wine, and into a file, stdout would otherwise hold
  // the lines back until the host ends.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ClearDisplayState();
  const int code = PipeListenThread(nullptr);
  std::printf("ended code=%d\n", code);
  return 0;
}
