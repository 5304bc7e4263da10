// The packets each network output sends, built as pure functions into a
// caller's buffer, so that their bytes can be checked against tables.
// Multi-byte fields are big-endian unless a protocol says otherwise.
#pragma once
#include <cstddef>
#include <cstdint>

enum : size_t {
  kDmxSlots = 512,
  kSacnPacketSize = 126 + kDmxSlots,    // Root, framing and DMP layers, start code, slots.
  kArtDmxPacketSize = 18 + kDmxSlots,   // Header and slots.
  kWledMaxPacketSize = 4 + 489 * 3,     // DNRGB: the most pixels one packet carries.
  kWledDrgbMaxPixels = 490,
  kWledDnrgbMaxPixels = 489,
  kDdpMaxData = 1440,                   // 480 RGB pixels: fits an Ethernet frame.
  kDdpPacketSize = 10 + kDdpMaxData,
};

enum : uint16_t {
  kSacnPort = 5568,
  kArtNetPort = 6454,
  kWledPort = 21324,
  kDdpPort = 4048,
};

struct SacnFrame {
  const uint8_t* cid;      // 16 bytes: the source's component identifier.
  const char* sourceName;  // Cut to 63 characters.
  uint8_t priority;        // 0 to 200.
  uint8_t sequence;
  bool streamTerminated;   // The source's last packets for this universe.
  uint16_t universe;       // 1 to 63999.
};

// E1.31 data packet with all 512 slots; returns kSacnPacketSize.
size_t BuildSacnPacket(const SacnFrame& frame, const uint8_t levels[kDmxSlots], uint8_t* out);

// The multicast group of an sACN universe: 239.255.hi.lo, host order.
uint32_t SacnMulticastGroup(uint16_t universe);

// ArtDmx with all 512 slots; portAddress is the 15-bit net, sub-net and
// universe (net = bits 8 to 14). Returns kArtDmxPacketSize.
size_t BuildArtDmxPacket(uint16_t portAddress, uint8_t sequence, const uint8_t levels[kDmxSlots],
                         uint8_t* out);

// WLED realtime UDP: DRGB when the run starts at pixel 0 and fits one
// packet, else DNRGB with its start index. timeoutSeconds 0 hands the strip
// back to WLED at once, 255 keeps it until the next packet. At most
// kWledDnrgbMaxPixels (kWledDrgbMaxPixels for DRGB) pixels; returns the size.
size_t BuildWledPacket(uint8_t timeoutSeconds, uint16_t startPixel, const uint8_t* rgb, size_t pixels,
                       uint8_t* out);

// DDP: RGB data for the default output at a byte offset; push on the last
// packet of a frame. sequence is 1 to 15. At most kDdpMaxData bytes.
size_t BuildDdpPacket(uint8_t sequence, uint32_t offset, bool push, const uint8_t* data, size_t length,
                      uint8_t* out);
