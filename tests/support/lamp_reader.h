// The lamps read from a picture of the main window, where the product's own
// geometry (app/lamp_picture.h) puts them: the one reader of the Linux
// captures (xprobe), the Win32 driver and the plug-in's host.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/lamp_picture.h"

// The geometry is checked against the documented one here, once: 32-pixel
// lamps in two touching rows from y = 20, so that a wrong place there fails
// the build of every test that reads lamps.
static_assert(kLampSize == 32 && kRowTop[0] == 20 && kRowTop[1] == 52, "the lamps are not where documented");

// Where the lamps end: eight columns, two rows.
constexpr int kLampsRight = 8 * kLampSize, kLampsBottom = kRowTop[1] + kLampSize;

// A picture as colour values 0x00BBGGRR, top row first.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> colours;
  uint32_t At(int x, int y) const { return colours[size_t(y) * width + x]; }
  bool operator==(const Pixels& o) const {
    return width == o.width && height == o.height && colours == o.colours;
  }
};

// The lamps whose centre is lit, as a light command's value: bits 0-7 the
// first row, bit 7 at the left. 0 when the picture is smaller than the lamps.
unsigned ReadLamps(const Pixels& picture);

// Where the picture differs from the sixteen lamps lit or dark as value
// says: each lamp's centre and a point inside it lit or dark, its outline
// on four sides, the background in its box's corner (between the circles).
// One line per wrong pixel; empty when all are right.
std::string LampsDiffer(const Pixels& picture, unsigned value);
