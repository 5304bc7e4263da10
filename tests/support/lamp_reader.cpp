#include "tests/support/lamp_reader.h"

#include <cstdio>

namespace {

bool Lit(unsigned value, int row, int column) { return (value >> (8 * row + 7 - column)) & 1; }

}  // namespace

unsigned ReadLamps(const Pixels& picture) {
  if (picture.width < kLampsRight || picture.height < kLampsBottom) return 0;
  const int middle = kLampSize / 2;
  unsigned lamps = 0;
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 8; ++column)
      if (picture.At(kLampSize * column + middle, kRowTop[row] + middle) == kLitColour)
        lamps |= 1u << (8 * row + 7 - column);
  return lamps;
}

std::string LampsDiffer(const Pixels& picture, unsigned value) {
  if (picture.width < kLampsRight || picture.height < kLampsBottom) return "the picture is smaller than the lamps\n";
  const int middle = kLampSize / 2, last = kLampSize - 1;
  std::string differences;
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 8; ++column) {
      const int left = kLampSize * column, top = kRowTop[row];
      const uint32_t inside = Lit(value, row, column) ? kLitColour : kDarkColour;
      const struct {
        const char* what;
        int x, y;
        uint32_t want;
      } points[] = {{"centre", middle, middle, inside},          {"inside", 10, 20, inside},
                    {"outline top", middle, 0, kOutlineColour},   {"outline bottom", middle, last, kOutlineColour},
                    {"outline left", 0, middle, kOutlineColour},  {"outline right", last, middle, kOutlineColour},
                    {"box corner", 1, 1, kBackgroundColour},      {"between circles", 2, 2, kBackgroundColour}};
      for (const auto& point : points) {
        const uint32_t got = picture.At(left + point.x, top + point.y);
        if (got == point.want) continue;
        char line[128];
        std::snprintf(line, sizeof line, "row %d, column %d, %s at (%d,%d): %06X, want %06X\n", row + 1, column,
                      point.what, left + point.x, top + point.y, unsigned(got), unsigned(point.want));
        differences += line;
      }
    }
  return differences;
}
