#include "lightnet/usbpro.h"

#include <cstring>

size_t BuildUsbProMessage(uint8_t label, const uint8_t* data, size_t length, uint8_t* out, size_t capacity) {
  if (length > 0xFFFF || capacity < length + kUsbProOverhead) return 0;
  out[0] = kUsbProStart;
  out[1] = label;
  out[2] = uint8_t(length & 0xFF);
  out[3] = uint8_t(length >> 8);
  if (length != 0) std::memcpy(out + 4, data, length);
  out[4 + length] = kUsbProEnd;
  return length + kUsbProOverhead;
}

size_t BuildUsbProParametersRequest(uint8_t* out, size_t capacity) {
  static const uint8_t kNoUserBytes[2] = {0, 0};
  return BuildUsbProMessage(kUsbProParametersLabel, kNoUserBytes, 2, out, capacity);
}

size_t BuildUsbProDmx(const uint8_t* levels, size_t slots, uint8_t* out, size_t capacity) {
  if (slots < 1 || slots > 512 || capacity < slots + 1 + kUsbProOverhead) return 0;
  // Built in place: the start code then the levels are the message's data.
  out[4] = 0;
  std::memcpy(out + 5, levels, slots);
  const size_t length = slots + 1;
  out[0] = kUsbProStart;
  out[1] = kUsbProSendDmxLabel;
  out[2] = uint8_t(length & 0xFF);
  out[3] = uint8_t(length >> 8);
  out[4 + length] = kUsbProEnd;
  return length + kUsbProOverhead;
}

bool FindUsbProParameters(const uint8_t* bytes, size_t count, UsbProParameters* parameters) {
  // A widget may still be sending what it sent before the request: each
  // start byte is tried until one begins a whole, well-formed answer.
  for (size_t at = 0; at + kUsbProOverhead <= count; ++at) {
    if (bytes[at] != kUsbProStart || bytes[at + 1] != kUsbProParametersLabel) continue;
    const size_t length = size_t(bytes[at + 2]) | size_t(bytes[at + 3]) << 8;
    if (length < kUsbProParametersSize || at + length + kUsbProOverhead > count) continue;
    if (bytes[at + 4 + length] != kUsbProEnd) continue;
    const uint8_t* data = bytes + at + 4;
    parameters->firmware = uint16_t(data[0] | data[1] << 8);
    parameters->breakTime = data[2];
    parameters->markAfterBreak = data[3];
    parameters->rate = data[4];
    return true;
  }
  return false;
}

namespace {

// "COM" and 1 to 255 without a leading zero, case as Windows takes it.
bool IsComName(const char* name, size_t length) {
  if (length < 4 || length > 6) return false;
  for (int i = 0; i < 3; ++i)
    if ((name[i] & ~0x20) != "COM"[i]) return false;
  if (name[3] == '0') return false;
  unsigned number = 0;
  for (size_t i = 3; i < length; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    number = number * 10 + unsigned(name[i] - '0');
  }
  return number >= 1 && number <= 255;
}

const char kDevicePrefix[] = "\\\\.\\";

}  // namespace

const char* UsbProPortNameFault(const char* name, size_t length, bool windowsNames) {
  if (windowsNames) {
    const size_t prefix = sizeof kDevicePrefix - 1;
    if (length > prefix && std::memcmp(name, kDevicePrefix, prefix) == 0) {
      name += prefix;
      length -= prefix;
    }
    return IsComName(name, length) ? nullptr : "not a serial port's name (COM1 to COM255, as COM3 or \\\\.\\COM12)";
  }
  if (length == 0 || length >= 64) return "not a serial port's name (a device path such as /dev/ttyUSB0)";
  for (size_t i = 0; i < length; ++i) {
    const char c = name[i];
    const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' ||
                       c == '.' || c == '_' || c == '-' || c == '+' || c == ':';
    if (!plain) return "not a serial port's name: only letters, digits and / . _ - + : (as /dev/ttyUSB0)";
  }
  return nullptr;
}

bool WindowsDevicePath(const char* name, char* out, size_t size) {
  const size_t prefix = sizeof kDevicePrefix - 1;
  const bool hasPrefix = std::strncmp(name, kDevicePrefix, prefix) == 0;
  const size_t length = std::strlen(name) + (hasPrefix ? 0 : prefix);
  if (length + 1 > size) return false;
  std::strcpy(out, hasPrefix ? "" : kDevicePrefix);
  std::strcat(out, name);
  return true;
}
