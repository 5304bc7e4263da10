// The program-wide state that the window shows, and the one place where a
// received line changes it. DisplayState itself is private to
// light_control.cpp: start-up clears it, the listener changes it and the
// painters copy it, each only through the functions below.
#pragma once
#include <cstdint>

#include "protocol/light_line.h"

struct DisplayStateRecord {
  char StatusText[9];  // The last line applied: at most 8 characters and a zero.
  LampBits Lamps;      // Both rows (protocol/light_line.h).
};

// I/O address of the parallel port's data register; 0 is the emulation mode
// (no port access at all). Written once by start-up, read-only afterwards.
extern uint16_t PortBase;

// Empties the status text and puts every lamp out (start-up).
void ClearDisplayState();

// Puts every lamp out and keeps the status text (listener start).
void ClearLampBanks();

// A consistent copy of DisplayState, never a half-applied line.
DisplayStateRecord SnapshotDisplayState();

// Applies one line ('>' and at most 7 further characters, or a listener
// marker) to DisplayState: the status text, and the lamps of a light
// command. Returns the command, for the caller to hand to the port, the
// network outputs and the window; banks is 0 for a line that is only shown.
// Listener thread only.
LightCommand ApplyLightLine(const char* line);
