#include "pipe/line_framing.h"

bool FrameOneRead(const unsigned char* bytes, size_t count, char (&line)[kMaxLineLength + 1]) {
  size_t length = 0;  // 0: still looking for the '>' that opens a line.
  for (size_t i = 0; i < count; ++i) {
    const unsigned char byte = bytes[i];
    if (length == 0) {
      if (byte == '>') line[length++] = '>';
      continue;  // Anything before the '>' is noise between lines.
    }
    if (byte == '\n') {
      line[length] = '\0';
      return true;  // One line per read: the rest of the read is dropped.
    }
    // Every other byte is taken as it is, a carriage return or a NUL included.
    line[length++] = static_cast<char>(byte);
    if (length > kMaxLineLength) return false;  // Too long: the read is given up.
  }
  return false;  // No line feed in this read: the partial line is lost.
}
