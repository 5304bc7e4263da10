// Open DMX: an FTDI USB serial chip that the host drives byte by byte, the
// break before each frame timed by the host. The Windows program reaches it
// through FTDI's D2XX library, looked up at run time (open_dmx_win.cpp);
// elsewhere every call says there is none (Linux reaches it through olad).
#pragma once
#include <cstddef>
#include <cstdint>

enum : unsigned { kMaxFtdiDevice = 127 };  // USB's own limit of devices on one bus.

// The time from one frame's start to the next: 513 slots at 250 kbaud take
// 22.6 ms on the wire, and receivers expect a frame at least every second.
constexpr double kOpenDmxFrameSeconds = 0.024;
constexpr double kOpenDmxShortestFrameSeconds = 0.023;

bool OpenDmxInThisBuild();

// The interface at FTDI's index `device`, opened and set up for DMX (250
// kbaud, 8N2, no flow control); nullptr when it cannot be, with why, for
// people, in `why` ("" for a null `why`).
void* OpenDmxOpen(unsigned device, char* why, size_t size);
// One frame: the break, the mark after it, the start code 0 and the 512
// levels. false when the interface has gone: the caller closes it and opens
// it again later.
bool OpenDmxSendFrame(void* link, const uint8_t levels[512]);
void OpenDmxClose(void* link);
