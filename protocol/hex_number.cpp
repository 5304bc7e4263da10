#include "protocol/hex_number.h"

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The C locale's white space; the locale of the process must not change it.
bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

bool ReadHexNumber(const char* text, uint32_t* value) {
  const char* p = text;
  while (IsSpace(*p)) ++p;

  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = (*p == '-');
    ++p;
  }
  // A prefix with no digit behind it reads nothing ("0x", "0xzz"), while a
  // lone "0" is the number 0.
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;

  if (HexDigitValue(*p) < 0) return false;
  uint32_t number = 0;  // Unsigned: wraps modulo 2^32 by definition.
  for (int digit; (digit = HexDigitValue(*p)) >= 0; ++p) number = number * 16u + uint32_t(digit);

  *value = negative ? 0u - number : number;
  return true;
}
