#include "app/command_line.h"

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
