// The command tail: what follows the program's name on the command line,
// taken from the whole line as the system hands it over (GetCommandLineA on
// Windows), and read: "-p 378" names a port, "-P 378" also asks for the
// hardware test; anything else is the emulation mode. A tail that also
// names outputs is read by lightnet/output_options.cpp, which takes the
// port's words by the same shape and wants them first.
#pragma once
#include <cstdint>

struct CommandTail {
  uint16_t port;      // 0: the emulation mode.
  bool hardwareTest;  // Upper-case 'P' with a port that is not 0.
};

CommandTail ReadCommandTail(const char* tail);

// The tail's start, by the system's own rule:
// - a program name in double quotes ends with its closing quote, and the
//   second byte of a double-byte character never counts as that quote;
// - an unquoted name ends at the first byte of code 32 or less (compared
//   unsigned, so bytes above 0x7F belong to the name);
// - then the bytes of codes 1 to 32 are skipped; the tail is what follows.
// Platform-free: the lead-byte test (IsDBCSLeadByte on Windows) is passed in.
using LeadByteTest = bool (*)(unsigned char byte);

// Points into commandLine (at its terminating zero for an empty tail); a
// null line gives "".
const char* CommandTailOf(const char* commandLine, LeadByteTest isLeadByte);
