// The one reader of the tools' numeric option values.
#pragma once
#include <string>

#include "protocol/short_text.h"

struct OptionRange {
  double low, high;
  bool lowIncluded = true;  // false: the value must be above low.
  bool whole = false;       // Only whole numbers (milliseconds, a mode).
};

// Reads text, the whole of option's value, as a decimal number within range.
// Refuses anything else, NaN and infinities included, with false and an
// error that names the option, what it takes and why text is not that:
// "--rate takes steps per second, above 0 and at most 1000; "nan" is not a
// number". what says what the option counts ("steps per second"). Its own
// reader, not strtod: mingw-w64's would add a fifth to lightsend.exe.
bool ReadOptionNumber(const char* option, const char* text, const char* what,
                      const OptionRange& range, double* value, ShortText* error);

// A light-command mode, 3 (one bank, ">3L") or 5 (two banks, ">5L"), read
// as above.
bool ReadModeOption(const char* option, const char* text, int* mode, ShortText* error);

// The same for the tools that keep their arguments as std::string. Inline,
// so that lightsend.exe, which has no std::string, never links them.
inline bool ReadOptionNumber(const std::string& option, const std::string& text,
                             const char* what, const OptionRange& range, double* value,
                             std::string* error) {
  ShortText why;
  const bool read = ReadOptionNumber(option.c_str(), text.c_str(), what, range, value, &why);
  if (!read) *error = why.c_str();
  return read;
}

inline bool ReadModeOption(const std::string& option, const std::string& text, int* mode,
                           std::string* error) {
  ShortText why;
  const bool read = ReadModeOption(option.c_str(), text.c_str(), mode, &why);
  if (!read) *error = why.c_str();
  return read;
}
