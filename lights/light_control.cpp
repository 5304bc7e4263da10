#include "lights/light_control.h"

#include <cstring>

#include "lights/display_lock.h"
#include "lights/hex_number.h"
#include "lights/parallel_port.h"
#include "lights/ui_ops.h"
#include "out/outputs.h"

uint16_t PortBase;

namespace {

// Written by start-up before the listener exists, then only by the listener.
DisplayStateRecord DisplayState;

// DisplayState is guarded by the display lock (lights/display_lock.h)
// between the listener's update and the painter's copy: held only for the
// copy, never across a port access or a platform call.

enum class Mode { kNone, kOneBank, kTwoBanks };

}  // namespace

void ClearDisplayState() {
  DisplayLockHold hold;
  DisplayState = DisplayStateRecord{};
}

void ClearLampBanks() {
  DisplayLockHold hold;
  DisplayState.LampBank0 = 0;
  DisplayState.LampBank1 = 0;
}

DisplayStateRecord SnapshotDisplayState() {
  DisplayLockHold hold;
  return DisplayState;
}

void ApplyLightLine(const char* line) {
  // The listener never hands on more than 8 characters, but the status text
  // must stay terminated whatever a caller passes.
  char text[sizeof DisplayState.StatusText] = {};
  std::strncpy(text, line, sizeof text - 1);

  // A light command: '>', the mode digit, an upper-case 'L', then the value.
  Mode mode = Mode::kNone;
  uint32_t value = 0;
  if (text[0] == '>' && text[2] == 'L' && (text[1] == '5' || text[1] == '3')) {
    // A value field with no number in it (">5L", ">5Lzz", ">5L0x") leaves the
    // lamps and the port alone: the line is only shown.
    if (ReadHexNumber(text + 3, &value)) mode = (text[1] == '5') ? Mode::kTwoBanks : Mode::kOneBank;
  }
  const uint8_t bank0 = uint8_t(value & 0xFF);
  const uint8_t bank1 = uint8_t((value >> 8) & 0xFF);

  {
    DisplayLockHold hold;
    std::memcpy(DisplayState.StatusText, text, sizeof text);
    if (mode != Mode::kNone) {
      // Both bytes for both modes: a one-bank command still draws row two.
      DisplayState.LampBank0 = bank0;
      DisplayState.LampBank1 = bank1;
    }
  }

  // Only the listener touches the port after start-up, so its sequences
  // never interleave and need no lock.
  if (PortBase != 0) {
    if (mode == Mode::kOneBank) OutputOneBank(bank0);
    if (mode == Mode::kTwoBanks) OutputTwoBanks(bank0, bank1);
  }
  // The network outputs get the lamps as drawn, both rows for both modes;
  // they only take the state and never wait.
  if (mode != Mode::kNone) OutputLamps(bank0, bank1);

  RequestRepaint();  // For every line, command or not.
}
