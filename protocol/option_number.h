// The one reader of the tools' numeric option values.
#pragma once
#include <string>

struct OptionRange {
  double low, high;
  bool lowIncluded = true;  // false: the value must be above low.
  bool whole = false;       // Only whole numbers (milliseconds, a mode).
};

// Reads text, the whole of option's value, as a decimal number within range.
// Refuses anything else, NaN and infinities included, with false and an
// error that names the option, what it takes and why text is not that:
// "--rate takes steps per second, above 0 and at most 1000; "nan" is not a
// number". what says what the option counts ("steps per second").
bool ReadOptionNumber(const std::string& option, const std::string& text, const char* what,
                      const OptionRange& range, double* value, std::string* error);

// A light-command mode, 3 (one bank, ">3L") or 5 (two banks, ">5L"), read
// as above.
bool ReadModeOption(const std::string& option, const std::string& text, int* mode,
                    std::string* error);
