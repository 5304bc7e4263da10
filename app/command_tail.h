// The command tail: "-p 378" names a port, "-P 378" also asks for the
// hardware test; anything else is the emulation mode. A tail that also
// names outputs is read by lightnet/output_options.cpp, which takes the port's
// words by the same shape and wants them first.
#pragma once
#include <cstdint>

struct CommandTail {
  uint16_t port;      // 0: the emulation mode.
  bool hardwareTest;  // Upper-case 'P' with a port that is not 0.
};

CommandTail ReadCommandTail(const char* tail);
