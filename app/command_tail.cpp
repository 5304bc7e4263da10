#include "app/command_tail.h"

#include <cstring>

#include "protocol/hex_number.h"

CommandTail ReadCommandTail(const char* tail) {
  CommandTail result{0, false};
  // A dash, the letter, a blank, and room for at least a three-digit address.
  if (tail == nullptr || std::strlen(tail) < 6) return result;
  if (tail[0] != '-' || (tail[1] != 'p' && tail[1] != 'P') || tail[2] != ' ') return result;

  // A port field with no number in it ("-p xyz") is the emulation mode.
  uint32_t number = 0;
  if (ReadHexNumber(tail + 3, &number)) result.port = uint16_t(number & 0xFFFF);
  result.hardwareTest = (tail[1] == 'P' && result.port != 0);
  return result;
}

const char* CommandTailOf(const char* commandLine, LeadByteTest isLeadByte) {
  if (commandLine == nullptr) return "";
  const unsigned char* at = reinterpret_cast<const unsigned char*>(commandLine);

  if (*at == '"') {
    ++at;
    while (*at != '\0' && *at != '"') {
      // A lead byte takes its second byte with it, whatever that byte is,
      // but never the terminating zero.
      if (isLeadByte(*at) && at[1] != '\0') ++at;
      ++at;
    }
    if (*at == '"') ++at;  // A name without its closing quote is all the line.
  } else {
    while (*at > ' ') ++at;
  }

  while (*at != '\0' && *at <= ' ') ++at;
  return reinterpret_cast<const char*>(at);
}
