// A parallel port with the two external latches behind it, for the soak
// host: the latch on pin 16 takes the data byte when pin 16 rises, the one
// on pin 17 when pin 17 rises (control bit 3 is inverted). What the lamps
// on the latches would show is then checkable from outside.
#include <cstdio>

#include "lights/light_control.h"
#include "port/port_io.h"
#include "tests/soak/latch_port.h"

namespace {

uint8_t Data = 0;
uint8_t Control = 0xC4;  // Arbitrary other bits, which must survive.
uint8_t Latch[2] = {0, 0};

bool Pin16(uint8_t control) { return (control & 0x04) != 0; }
bool Pin17(uint8_t control) { return (control & 0x08) == 0; }

// In the emulation mode no access may come: one is printed, and is a line
// the driver does not expect.
bool Fault(const char* what, uint16_t address) {
  if (PortBase != 0) return false;
  char line[48];
  std::snprintf(line, sizeof line, "port access %s 0x%x\n", what, address);
  PrintLine(line);
  return true;
}

}  // namespace

bool PortAccessOpen(uint16_t base) { return !Fault("open", base); }
void FormatNoPortAccessMessage(uint16_t base, char* text, size_t size) { std::snprintf(text, size, "%X", base); }

uint8_t PortRead8(uint16_t address) {
  if (Fault("read", address)) return 0;
  return address == PortBase + 2 ? Control : 0xFF;
}

void PortWrite8(uint16_t address, uint8_t value) {
  if (Fault("write", address)) return;
  if (address == PortBase) {
    Data = value;
  } else if (address == PortBase + 2) {
    if (!Pin16(Control) && Pin16(value)) Latch[0] = Data;
    if (!Pin17(Control) && Pin17(value)) Latch[1] = Data;
    Control = value;
  }
}

// Read on the listener thread only (from the repaint request).
void LatchedBytes(uint8_t* bank0, uint8_t* bank1) {
  *bank0 = Latch[0];
  *bank1 = Latch[1];
}
