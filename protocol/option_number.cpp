#include "protocol/option_number.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// Why text is no value in range, or null when it is one.
const char* Refusal(const std::string& text, const OptionRange& range, double* value) {
  // strtod also reads hexadecimal ("0x10"); an option's value is decimal.
  if (text.empty() || text.find_first_of("xX") != std::string::npos) return "is not a number";
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (*end != '\0' || std::isnan(number)) return "is not a number";
  if (std::isinf(number)) return "is not a finite number";
  if (range.whole && number != std::floor(number)) return "is not a whole number";
  if (number < range.low || (number == range.low && !range.lowIncluded) || number > range.high)
    return "is out of range";
  *value = number;
  return nullptr;
}

}  // namespace

bool ReadOptionNumber(const std::string& option, const std::string& text, const char* what,
                      const OptionRange& range, double* value, std::string* error) {
  const char* why = Refusal(text, range, value);
  if (why == nullptr) return true;
  const std::string bounds = range.lowIncluded
                                 ? Number(range.low) + " to " + Number(range.high)
                                 : "above " + Number(range.low) + " and at most " + Number(range.high);
  *error = option + " takes " + what + ", " + bounds + "; \"" + text + "\" " + why;
  return false;
}

bool ReadModeOption(const std::string& option, const std::string& text, int* mode,
                    std::string* error) {
  double number = 0;
  if (ReadOptionNumber(option, text, "a mode", {3, 5, true, true}, &number, error) && number != 4) {
    *mode = int(number);
    return true;
  }
  *error = option + " takes 3 (one bank) or 5 (two banks), not \"" + text + "\"";
  return false;
}
