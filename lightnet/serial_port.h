// A serial port for the DMX USB Pro output, one file per platform: raw
// bytes, 8 data bits, no parity, one stop bit (the widget's USB side does
// not use the speed; it is set all the same). Errors are the system's error
// numbers. No platform header here.
#pragma once
#include <cstddef>
#include <cstdint>

// The port, or -1 with *error set. Linux: a device path; Windows: COMn or \\.\COMn.
intptr_t OpenSerialPort(const char* name, int* error);
// Writes all of data, waiting at most seconds for the port to take it: 0, or
// the system's error number (a time-out's own number when it took too long).
int WriteSerial(intptr_t port, const uint8_t* data, size_t length, double seconds);
// What the port has received, waiting at most seconds for the first byte:
// the count (0 when nothing came), or -1 with *error set.
long ReadSerial(intptr_t port, uint8_t* out, size_t size, double seconds, int* error);
// Drops what was received and not read.
void DropSerialInput(intptr_t port);
void CloseSerialPort(intptr_t port);

// Whether a port of this name is there and is a serial port, for the
// command line: false with why ("no such port: ...") filled when not.
bool CheckSerialPort(const char* name, char* why, size_t size);

// The system's text for a serial port's error number.
void SerialErrorText(int error, char* out, size_t size);
