#include "lights/light_control.h"

#include <cstring>

#include "lights/display_lock.h"

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

LightCommand ApplyLightLine(const char* line) {
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

  return command;
}
