// Cutting a line out of one read of the pipe. Pure: nothing survives a read.
#pragma once
#include <cstddef>

#include "protocol/light_line.h"  // kMaxLineLength

// Frames one read of count bytes: skips bytes up to the first '>', collects
// from there to the next line feed (kept out of the line) and stores the
// zero-terminated line in line. Returns true when a line was framed; false
// when the read held none, or the line reached 9 characters (abandoned), or
// it had no line feed (dropped). Whatever follows the first line is dropped.
bool FrameOneRead(const unsigned char* bytes, size_t count, char (&line)[kMaxLineLength + 1]);
