// The packets each network output sends, built as pure functions into a
// caller's buffer, so that their bytes can be checked against tables.
// Multi-byte fields are big-endian unless a protocol says otherwise.
// Every builder takes its buffer's size and writes nothing (returns 0) when
// the packet would not fit: a wrong size is a refused packet, never a
// write past the buffer.
#pragma once
#include <cstddef>
#include <cstdint>

enum : size_t {
  kDmxSlots = 512,
  kSacnPacketSize = 126 + kDmxSlots,    // Root, framing and DMP layers, start code, slots.
  kArtDmxPacketSize = 18 + kDmxSlots,   // Header and slots.
  // WLED reads at most 1472 bytes a datagram (an Ethernet frame's UDP
  // payload): DRGB's 2-byte header leaves room for 490 pixels, DNRGB's 4
  // bytes for 489.
  kWledDrgbMaxPixels = 490,
  kWledDnrgbMaxPixels = 489,
  kWledMaxPacketSize = 2 + kWledDrgbMaxPixels * 3,
  kDdpMaxData = 1440,                   // 480 RGB pixels: fits an Ethernet frame.
  kDdpPacketSize = 10 + kDdpMaxData,
};

constexpr size_t LargerOf(size_t a, size_t b) { return a > b ? a : b; }

// The largest packet any output builds: the size of a sender's buffer.
constexpr size_t kMaxPacketSize =
    LargerOf(LargerOf(kSacnPacketSize, kArtDmxPacketSize), LargerOf(kWledMaxPacketSize, kDdpPacketSize));
static_assert(4 + kWledDnrgbMaxPixels * 3 <= kWledMaxPacketSize, "DNRGB's largest packet fits");
static_assert(kWledMaxPacketSize == 1472, "WLED's datagram limit");

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
size_t BuildSacnPacket(const SacnFrame& frame, const uint8_t levels[kDmxSlots], uint8_t* out, size_t capacity);

// The multicast group of an sACN universe: 239.255.hi.lo, host order.
uint32_t SacnMulticastGroup(uint16_t universe);

// ArtDmx with all 512 slots; portAddress is the 15-bit net, sub-net and
// universe (net = bits 8 to 14). Returns kArtDmxPacketSize.
size_t BuildArtDmxPacket(uint16_t portAddress, uint8_t sequence, const uint8_t levels[kDmxSlots],
                         uint8_t* out, size_t capacity);

// WLED realtime UDP: DRGB when the run starts at pixel 0 and fits one
// packet, else DNRGB with its start index. timeoutSeconds 0 hands the strip
// back to WLED at once, 255 keeps it until the next packet. Takes at most
// WledPixelsPerPacket(startPixel, pixels) pixels; returns the size.
size_t BuildWledPacket(uint8_t timeoutSeconds, uint16_t startPixel, const uint8_t* rgb, size_t pixels,
                       uint8_t* out, size_t capacity);
// How many of pixels from startPixel the next packet carries.
size_t WledPixelsPerPacket(uint16_t startPixel, size_t pixels);

// DDP: RGB data for the default output at a byte offset; push on the last
// packet of a frame. sequence is 1 to 15. At most kDdpMaxData bytes.
size_t BuildDdpPacket(uint8_t sequence, uint32_t offset, bool push, const uint8_t* data, size_t length,
                      uint8_t* out, size_t capacity);
