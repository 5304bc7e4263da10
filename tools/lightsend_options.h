// lightsend's command line and the check of each line before it is sent.
// No std::string, std::vector or operator new: any of them would bring
// libstdc++'s exceptions into lightsend.exe, several times its own size.
#pragma once
#include <cstddef>

#include "protocol/light_line.h"
#include "protocol/short_text.h"
#include "tools/parse_outcome.h"

// The lines to send, each checked (LineProblem) and so at most
// kMaxLineLength bytes, in one block that grows with malloc.
class LineList {
 public:
  LineList() = default;
  ~LineList();
  LineList(const LineList&) = delete;
  LineList& operator=(const LineList&) = delete;

  // False when out of memory. length is at most kMaxLineLength.
  bool Add(const char* line, size_t length);
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Zero-terminated; Length(i) counts bytes, a zero byte in the line too.
  const char* operator[](size_t i) const { return lines_[i].text; }
  size_t Length(size_t i) const { return lines_[i].length; }

 private:
  struct Line {
    char text[kMaxLineLength + 1];
    unsigned char length;
  };
  Line* lines_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
};

struct LightsendOptions {
  LineList lines;                // Lines from the arguments.
  bool fromStdin = false;        // "-": lines from standard input instead.
  const char* pattern = nullptr; // --pattern NAME (one of the arguments); null when lines are sent.
  double rate = 20;              // --rate HZ: pattern steps per second.
  double seconds = -1;           // --seconds N; negative: until interrupted.
  int mode = 5;                  // --mode 3|5: one-bank or two-bank commands.
  int delayMs = 20;              // --delay MS between lines.
};

// Reads the count arguments (without the program name). On kUsageError,
// error says what is wrong in one line.
ParseOutcome ParseLightsendArguments(int count, const char* const* args,
                                     LightsendOptions* options, ShortText* error);

// Why the server would drop this line of length bytes, or null when it
// would not: a line is '>' and at most 7 further characters, with no line
// feed.
const char* LineProblem(const char* line, size_t length);

// Removes a trailing line feed, then a trailing carriage return, from a line
// read from standard input ("\r\n", "\n" and "\r" endings all go); returns
// the new length and ends the text there.
size_t StripLineEnd(char* line, size_t length);

// The text that --help prints.
const char* LightsendHelp();
