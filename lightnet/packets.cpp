#include "lightnet/packets.h"

#include <cstring>

namespace {

void Put16(uint8_t* at, uint32_t value) {
  at[0] = uint8_t(value >> 8);
  at[1] = uint8_t(value);
}

void Put32(uint8_t* at, uint32_t value) {
  Put16(at, value >> 16);
  Put16(at + 2, value);
}

// An ACN PDU's flags (always 0x7: vector, header and data present) and its
// length counted from the field itself to the packet's end.
void PutFlagsAndLength(uint8_t* packet, size_t at, size_t total) { Put16(packet + at, 0x7000 | uint32_t(total - at)); }

}  // namespace

size_t BuildSacnPacket(const SacnFrame& frame, const uint8_t levels[kDmxSlots], uint8_t* out, size_t capacity) {
  static const char kAcnIdentifier[12] = {'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0};
  const size_t total = kSacnPacketSize;
  if (capacity < total) return 0;
  std::memset(out, 0, total);

  // Root layer.
  Put16(out + 0, 0x0010);  // Preamble size.
  Put16(out + 2, 0x0000);  // Postamble size.
  std::memcpy(out + 4, kAcnIdentifier, sizeof kAcnIdentifier);
  PutFlagsAndLength(out, 16, total);
  Put32(out + 18, 0x00000004);  // VECTOR_ROOT_E131_DATA.
  std::memcpy(out + 22, frame.cid, 16);

  // Framing layer.
  PutFlagsAndLength(out, 38, total);
  Put32(out + 40, 0x00000002);  // VECTOR_E131_DATA_PACKET.
  std::strncpy(reinterpret_cast<char*>(out + 44), frame.sourceName, 63);  // Stays zero-terminated.
  out[108] = frame.priority;
  Put16(out + 109, 0);  // No synchronization universe.
  out[111] = frame.sequence;
  out[112] = frame.streamTerminated ? 0x40 : 0x00;
  Put16(out + 113, frame.universe);

  // DMP layer: one set-property message over the start code and 512 slots.
  PutFlagsAndLength(out, 115, total);
  out[117] = 0x02;  // VECTOR_DMP_SET_PROPERTY.
  out[118] = 0xA1;  // Address and data type.
  Put16(out + 119, 0x0000);  // First property address.
  Put16(out + 121, 0x0001);  // Address increment.
  Put16(out + 123, 1 + kDmxSlots);
  out[125] = 0x00;  // The DMX start code.
  std::memcpy(out + 126, levels, kDmxSlots);
  return total;
}

uint32_t SacnMulticastGroup(uint16_t universe) { return 0xEFFF0000u | universe; }

size_t BuildArtDmxPacket(uint16_t portAddress, uint8_t sequence, const uint8_t levels[kDmxSlots],
                         uint8_t* out, size_t capacity) {
  static const char kArtNetId[8] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};
  if (capacity < kArtDmxPacketSize) return 0;
  std::memcpy(out, kArtNetId, sizeof kArtNetId);
  out[8] = 0x00;  // OpDmx, 0x5000, low byte first.
  out[9] = 0x50;
  Put16(out + 10, 14);  // Protocol version.
  out[12] = sequence;
  out[13] = 0;  // Physical input port: informative only.
  out[14] = uint8_t(portAddress & 0xFF);         // Sub-net and universe.
  out[15] = uint8_t((portAddress >> 8) & 0x7F);  // Net.
  Put16(out + 16, kDmxSlots);
  std::memcpy(out + 18, levels, kDmxSlots);
  return kArtDmxPacketSize;
}

size_t WledPixelsPerPacket(uint16_t startPixel, size_t pixels) {
  if (startPixel == 0 && pixels <= kWledDrgbMaxPixels) return pixels;
  return pixels < kWledDnrgbMaxPixels ? pixels : kWledDnrgbMaxPixels;
}

size_t BuildWledPacket(uint8_t timeoutSeconds, uint16_t startPixel, const uint8_t* rgb, size_t pixels,
                       uint8_t* out, size_t capacity) {
  const bool drgb = startPixel == 0 && pixels <= kWledDrgbMaxPixels;
  const size_t header = drgb ? 2 : 4;
  pixels = WledPixelsPerPacket(startPixel, pixels);
  if (capacity < header + pixels * 3) return 0;
  out[0] = drgb ? 2 : 4;  // DRGB, or DNRGB with its start index.
  out[1] = timeoutSeconds;
  if (!drgb) Put16(out + 2, startPixel);
  std::memcpy(out + header, rgb, pixels * 3);
  return header + pixels * 3;
}

size_t BuildDdpPacket(uint8_t sequence, uint32_t offset, bool push, const uint8_t* data, size_t length,
                      uint8_t* out, size_t capacity) {
  if (length > kDdpMaxData) length = kDdpMaxData;
  if (capacity < 10 + length) return 0;
  out[0] = uint8_t(0x40 | (push ? 0x01 : 0x00));  // Version 1, push.
  out[1] = uint8_t(sequence & 0x0F);
  out[2] = 0x0B;  // RGB, 8 bits per channel.
  out[3] = 0x01;  // The default output device.
  Put32(out + 4, offset);
  Put16(out + 8, uint32_t(length));
  std::memcpy(out + 10, data, length);
  return 10 + length;
}
