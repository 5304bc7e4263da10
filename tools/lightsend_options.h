// lightsend's command line and the check of each line before it is sent.
#pragma once
#include <string>
#include <vector>

#include "tools/parse_outcome.h"

struct LightsendOptions {
  std::vector<std::string> lines;  // Lines from the arguments.
  bool fromStdin = false;          // "-": lines from standard input instead.
  std::string pattern;             // --pattern NAME; empty when lines are sent.
  double rate = 20;                // --rate HZ: pattern steps per second.
  double seconds = -1;             // --seconds N; negative: until interrupted.
  int mode = 5;                    // --mode 3|5: one-bank or two-bank commands.
  int delayMs = 20;                // --delay MS between lines.
};

// Reads the arguments (without the program name). On kUsageError, error
// says what is wrong in one line.
ParseOutcome ParseLightsendArguments(const std::vector<std::string>& args,
                                     LightsendOptions* options, std::string* error);

// Why the server would drop this line, or an empty text when it would not:
// a line is '>' and at most 7 further characters, with no line feed.
std::string LineProblem(const std::string& line);

// Removes a trailing line feed, then a trailing carriage return, from a line
// read from standard input ("\r\n", "\n" and "\r" endings all go).
std::string StripLineEnd(std::string line);

// The text that --help prints.
const char* LightsendHelp();
