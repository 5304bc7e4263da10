#include "protocol/option_number.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool SameLetters(const char* text, const char* lowerCase) {
  for (; *lowerCase != '\0'; ++text, ++lowerCase)
    if ((*text | 0x20) != *lowerCase) return false;
  return *text == '\0';
}

// 10^exponent; exact up to 10^22, as close as repeated products get beyond.
double PowerOfTen(int exponent) {
  double power = 1;
  for (int i = 0; i < exponent; ++i) power *= 10;
  return power;
}

// Reads text, all of it, as strtod reads a decimal number: leading blanks, a
// sign, digits with at most one point, an exponent. False for anything else
// (hexadecimal, "nan" in every spelling); *infinite for "inf" and "infinity".
// Exact (correctly rounded) for up to 15 significant digits and a scale of
// at most 10^22, which option values stay well within; overflow gives
// infinity, as strtod does.
bool ReadDecimal(const char* text, double* number, bool* infinite) {
  *infinite = false;
  while (IsSpace(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  if (SameLetters(text, "inf") || SameLetters(text, "infinity")) {
    *infinite = true;
    return true;
  }
  uint64_t mantissa = 0;
  int scale = 0, digits = 0;
  bool point = false;
  for (;; ++text) {
    if (*text == '.' && !point) {
      point = true;
      continue;
    }
    if (*text < '0' || *text > '9') break;
    ++digits;
    if (mantissa < 100000000000000000ull) {  // 10^17: room for one more digit.
      mantissa = mantissa * 10 + uint64_t(*text - '0');
      scale -= point;
    } else {
      scale += !point;  // A digit too many to keep: only its place counts.
    }
  }
  if (digits == 0) return false;
  if (*text == 'e' || *text == 'E') {
    ++text;
    const bool down = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    if (*text < '0' || *text > '9') return false;
    int exponent = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
      if (exponent < 100000) exponent = exponent * 10 + (*text - '0');
    scale += down ? -exponent : exponent;
  }
  if (*text != '\0') return false;
  double value = double(mantissa);
  if (mantissa != 0) value = scale < 0 ? value / PowerOfTen(-scale) : value * PowerOfTen(scale);
  if (std::isinf(value)) *infinite = true;
  *number = negative ? -value : value;
  return true;
}

// Why text is no value in range, or null when it is one.
const char* Refusal(const char* text, const OptionRange& range, double* value) {
  double number = 0;
  bool infinite = false;
  if (!ReadDecimal(text, &number, &infinite)) return "is not a number";
  if (infinite) return "is not a finite number";
  if (range.whole && number != std::floor(number)) return "is not a whole number";
  if (number < range.low || (number == range.low && !range.lowIncluded) || number > range.high)
    return "is out of range";
  *value = number;
  return nullptr;
}

}  // namespace

bool ReadOptionNumber(const char* option, const char* text, const char* what,
                      const OptionRange& range, double* value, ShortText* error) {
  const char* why = Refusal(text, range, value);
  if (why == nullptr) return true;
  error->Clear();
  error->Add(option).Add(" takes ").Add(what).Add(", ");
  if (range.lowIncluded)
    error->AddNumber(range.low).Add(" to ").AddNumber(range.high);
  else
    error->Add("above ").AddNumber(range.low).Add(" and at most ").AddNumber(range.high);
  error->Add("; ").AddQuoted(text, std::strlen(text)).Add(" ").Add(why);
  return false;
}

bool ReadModeOption(const char* option, const char* text, int* mode, ShortText* error) {
  double number = 0;
  if (ReadOptionNumber(option, text, "a mode", {3, 5, true, true}, &number, error) && number != 4) {
    *mode = int(number);
    return true;
  }
  error->Clear();
  error->Add(option).Add(" takes 3 (one bank) or 5 (two banks), not ").AddQuoted(text, std::strlen(text));
  return false;
}
