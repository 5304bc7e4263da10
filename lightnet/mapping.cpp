#include <cstring>

#include "lightnet/output_config.h"

namespace {

bool LampIsLit(unsigned lamp, uint8_t bank0, uint8_t bank1) {
  const unsigned value = unsigned(bank0) | (unsigned(bank1) << 8);
  return (value >> lamp) & 1u;
}

}  // namespace

void BuildDmxLevels(const DmxMapping& mapping, uint8_t bank0, uint8_t bank1, uint8_t levels[512]) {
  std::memset(levels, 0, 512);
  for (unsigned lamp = 0; lamp < kLamps; ++lamp) {
    if (mapping.channel[lamp] == 0) continue;  // Not in the explicit list.
    const uint8_t level = LampIsLit(lamp, bank0, bank1) ? mapping.onLevel : mapping.offLevel;
    // The options' check keeps every channel within 1 to 512.
    for (unsigned k = 0; k < mapping.channelsPerLamp; ++k) levels[mapping.channel[lamp] - 1 + k] = level;
  }
}

size_t BuildPixels(const PixelMapping& mapping, uint8_t bank0, uint8_t bank1, uint8_t* rgb) {
  static const uint8_t kBlack[3] = {0, 0, 0};
  size_t pixel = 0;
  for (unsigned lamp = 0; lamp < kLamps; ++lamp) {
    const uint8_t* color = LampIsLit(lamp, bank0, bank1) ? mapping.onColor : kBlack;
    for (unsigned k = 0; k < mapping.pixelsPerLamp; ++k, ++pixel) std::memcpy(rgb + pixel * 3, color, 3);
  }
  return pixel;
}
