// What the main window shows, computed once for every painter: the status
// text at the top left and two rows of eight lamps, most significant bit at
// the left. Colours are 0x00BBGGRR.
#pragma once
#include <cstdint>

#include "protocol/light_line.h"

constexpr uint32_t kBackgroundColour = 0x000000;  // Black.
constexpr uint32_t kTextColour = 0x808080;        // Gray, on black.
constexpr uint32_t kOutlineColour = 0x808080;     // One-pixel gray outline.
constexpr uint32_t kLitColour = 0x00FFFF;         // Yellow.
constexpr uint32_t kDarkColour = 0x000000;        // Same black as the background.

constexpr int kTextX = 0, kTextY = 0;
constexpr int kLampSize = 32;
constexpr int kRowTop[2] = {20, 52};  // The rows touch.

struct LampCircle {
  int left, top, right, bottom;  // The box the circle is drawn in; right and bottom exclusive.
  bool lit;
};

// The sixteen circles in drawing order: for each column from the left, the
// first row's lamp (the low byte), then the second row's.
void ComputeLampCircles(LampBits lamps, LampCircle (&circles)[kLampCount]);
