// What one output was asked to do, as read from the command line: where it
// sends and how the sixteen lamps map onto DMX channels or pixels. Lamp n
// is bit n of the lamp value (LampBits, protocol/light_line.h).
#pragma once
#include <cstddef>
#include <cstdint>

#include "protocol/light_line.h"

enum class OutputKind : uint8_t { kSacn, kArtNet, kWled, kDdp, kOla, kOpenDmx, kUsbPro };

enum : size_t {
  kMaxOutputs = 8,
  kMaxHostName = 64,
  kMaxPixelsPerLamp = 100,
  kMaxPixels = kLampCount * kMaxPixelsPerLamp,
};

struct DmxMapping {
  uint16_t channel[kLampCount];  // First channel (1 to 512) of each lamp.
  uint16_t channelsPerLamp;  // Consecutive channels from each lamp's first.
  uint8_t onLevel;
  uint8_t offLevel;
};

struct PixelMapping {
  uint16_t startPixel;     // WLED's index of lamp 0's first pixel.
  uint16_t pixelsPerLamp;  // 1 to kMaxPixelsPerLamp.
  uint8_t onColor[3];      // Red, green, blue; an unlit lamp is black.
};

struct OutputConfig {
  OutputKind kind;
  char host[kMaxHostName];  // As written (the DMX USB Pro's port); empty for OLA.
  uint32_t address;         // IPv4, host order; 0 until a name is resolved.
  uint32_t interfaceAddress;  // sACN multicast: the interface's own address, 0 for the system's choice.
  bool multicast;           // sACN to the universe's group.
  uint32_t universe;        // sACN 1-63999, Art-Net port address 0-32767, OLA's universe number.
  uint8_t priority;         // sACN, 0-200.
  uint16_t ftdiDevice;      // Open DMX: the FTDI device's index, 0 for the first.
  DmxMapping dmx;
  PixelMapping pixels;
};

// Whether the output drives pixels (WLED, DDP) rather than DMX channels.
inline bool IsPixelOutput(OutputKind kind) { return kind == OutputKind::kWled || kind == OutputKind::kDdp; }

// The 512 levels of one DMX frame for the lamps; channels the mapping does
// not name stay 0.
void BuildDmxLevels(const DmxMapping& mapping, LampBits lamps, uint8_t levels[512]);

// kLampCount * pixelsPerLamp RGB triples; returns the number of pixels.
size_t BuildPixels(const PixelMapping& mapping, LampBits lamps, uint8_t* rgb);
