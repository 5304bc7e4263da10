#include "app/lamp_picture.h"

void ComputeLampCircles(LampBits lamps, LampCircle (&circles)[kLampCount]) {
  const uint8_t banks[2] = {uint8_t(lamps & 0xFF), uint8_t(lamps >> 8)};
  int i = 0;
  for (int column = 0; column < 8; ++column) {
    const unsigned mask = 1u << (7 - column);
    const int x = kLampSize * column;
    for (int row = 0; row < 2; ++row)
      circles[i++] = {x, kRowTop[row], x + kLampSize, kRowTop[row] + kLampSize, (banks[row] & mask) != 0};
  }
}
