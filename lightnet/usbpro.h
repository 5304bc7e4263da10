// The DMX USB Pro's framed messages over its serial port, built and read as
// pure functions: start byte 0x7E, a label, the data's length (low byte
// first), the data, end byte 0xE7. Label 3 asks for the widget's
// parameters (and is its answer), label 6 sends a DMX frame, start code
// first. Builders take their buffer's size and write nothing (return 0)
// when the message would not fit.
#pragma once
#include <cstddef>
#include <cstdint>

enum : uint8_t {
  kUsbProStart = 0x7E,
  kUsbProEnd = 0xE7,
  kUsbProParametersLabel = 3,
  kUsbProSendDmxLabel = 6,
};

enum : size_t {
  kUsbProOverhead = 5,  // Start, label, two length bytes, end.
  kUsbProDmxMessageSize = kUsbProOverhead + 1 + 512,
  // The parameters answer's fixed part: firmware (2), break, mark after break, rate.
  kUsbProParametersSize = 5,
};

// One message of label with length bytes of data; returns its size.
size_t BuildUsbProMessage(uint8_t label, const uint8_t* data, size_t length, uint8_t* out, size_t capacity);

// The parameters request: no user configuration bytes wanted (a length of 0
// in its two data bytes).
size_t BuildUsbProParametersRequest(uint8_t* out, size_t capacity);

// A DMX frame: start code 0, then slots levels (1 to 512).
size_t BuildUsbProDmx(const uint8_t* levels, size_t slots, uint8_t* out, size_t capacity);

struct UsbProParameters {
  uint16_t firmware;
  uint8_t breakTime;  // In units of 10.67 us.
  uint8_t markAfterBreak;  // In units of 10.67 us.
  uint8_t rate;  // Frames a second, 0 for as fast as it can.
};

// Whether bytes (what the port answered, in order, maybe with noise before)
// hold a whole, well-formed label-3 answer; fills *parameters when so.
bool FindUsbProParameters(const uint8_t* bytes, size_t count, UsbProParameters* parameters);

// Why a port's name as written cannot be one, or nullptr when it can.
// Windows: COM1 to COM255, or the same as \\.\COMn. Elsewhere: a device
// path of letters, digits and / . _ - + : only, as /dev/ttyUSB0.
const char* UsbProPortNameFault(const char* name, size_t length, bool windowsNames);

// The name Windows opens for a COM port: "\\.\COMn" (needed past COM9).
// Returns false when it does not fit.
bool WindowsDevicePath(const char* name, char* out, size_t size);
