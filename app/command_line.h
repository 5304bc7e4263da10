// The command tail taken from the whole command line, as the system hands
// it over (GetCommandLineA on Windows), by the system's own rule:
// - a program name in double quotes ends with its closing quote, and the
//   second byte of a double-byte character never counts as that quote;
// - an unquoted name ends at the first byte of code 32 or less (compared
//   unsigned, so bytes above 0x7F belong to the name);
// - then the bytes of codes 1 to 32 are skipped; the tail is what follows.
// Platform-free: the lead-byte test (IsDBCSLeadByte on Windows) is passed in.
#pragma once

using LeadByteTest = bool (*)(unsigned char byte);

// Points into commandLine (at its terminating zero for an empty tail); a
// null line gives "".
const char* CommandTailOf(const char* commandLine, LeadByteTest isLeadByte);
