#include "lights/light_control.h"

#include <cstring>

#include "platform/thread.h"

uint16_t PortBase;

namespace {

// Written by start-up before the listener exists, then only by the listener.
DisplayStateRecord DisplayState;

// DisplayState is guarded by this lock between the listener's update and
// the painter's copy: held only for the copy, never across a port access or
// a platform call. Made by a static constructor, before WinMain (and before
// any test's main), so that no caller ever meets it unmade.
Gate* const DisplayLock = NewGate();

}  // namespace

void ClearDisplayState() {
  GateHold hold(DisplayLock);
  DisplayState = DisplayStateRecord{};
}

void ClearLampBanks() {
  GateHold hold(DisplayLock);
  DisplayState.Lamps = 0;
}

DisplayStateRecord SnapshotDisplayState() {
  GateHold hold(DisplayLock);
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

  {
    GateHold hold(DisplayLock);
    std::memcpy(DisplayState.StatusText, text, sizeof text);
    if (isCommand) {
      // Both rows for both modes: a one-bank command still draws row two.
      DisplayState.Lamps = command.value;
    }
  }

  return command;
}
