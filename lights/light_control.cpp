#include "lights/light_control.h"

#include <cstring>

#include "lights/display_lock.h"
#include "lights/parallel_port.h"
#include "lights/ui_ops.h"
#include "out/outputs.h"
#include "protocol/light_line.h"

uint16_t PortBase;

namespace {

// Written by start-up before the listener exists, then only by the listener.
DisplayStateRecord DisplayState;

// DisplayState is guarded by the display lock (lights/display_lock.h)
// between the listener's update and the painter's copy: held only for the
// copy, never across a port access or a platform call.

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

  // A line that is no light command, or one with no number in its value
  // field (">5L", ">5Lzz"), leaves the lamps and the port alone: it is only shown.
  LightCommand command{0, 0};
  const bool isCommand = ParseLightLine(text, &command);
  const uint8_t bank0 = uint8_t(command.value & 0xFF);
  const uint8_t bank1 = uint8_t(command.value >> 8);

  {
    DisplayLockHold hold;
    std::memcpy(DisplayState.StatusText, text, sizeof text);
    if (isCommand) {
      // Both bytes for both modes: a one-bank command still draws row two.
      DisplayState.LampBank0 = bank0;
      DisplayState.LampBank1 = bank1;
    }
  }

  // Only the listener touches the port after start-up, so its sequences
  // never interleave and need no lock.
  if (PortBase != 0) {
    if (command.banks == 1) OutputOneBank(bank0);
    if (command.banks == 2) OutputTwoBanks(bank0, bank1);
  }
  // The network outputs get the lamps as drawn, both rows for both modes;
  // they only take the state and never wait.
  if (isCommand) OutputLamps(bank0, bank1);

  RequestRepaint();  // For every line, command or not.
}
