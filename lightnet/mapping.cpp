#include <cstring>

#include "lightnet/output_config.h"

namespace {

bool LampIsLit(unsigned lamp, LampBits lamps) { return (lamps >> lamp) & 1u; }

}  // namespace

void BuildDmxLevels(const DmxMapping& mapping, LampBits lamps, uint8_t levels[512]) {
  std::memset(levels, 0, 512);
  for (unsigned lamp = 0; lamp < kLampCount; ++lamp) {
    if (mapping.channel[lamp] == 0) continue;  // Not in the explicit list.
    const uint8_t level = LampIsLit(lamp, lamps) ? mapping.onLevel : mapping.offLevel;
    // The options' check keeps every channel within 1 to 512.
    for (unsigned k = 0; k < mapping.channelsPerLamp; ++k) levels[mapping.channel[lamp] - 1 + k] = level;
  }
}

size_t BuildPixels(const PixelMapping& mapping, LampBits lamps, uint8_t* rgb) {
  static const uint8_t kBlack[3] = {0, 0, 0};
  size_t pixel = 0;
  for (unsigned lamp = 0; lamp < kLampCount; ++lamp) {
    const uint8_t* color = LampIsLit(lamp, lamps) ? mapping.onColor : kBlack;
    for (unsigned k = 0; k < mapping.pixelsPerLamp; ++k, ++pixel) std::memcpy(rgb + pixel * 3, color, 3);
  }
  return pixel;
}
