// The one rule by which the port address and the lamp value are read.
#pragma once
#include <cstdint>

// Skips leading white space, takes an optional '+' or '-', an optional "0x"
// or "0X", then hexadecimal digits of either case up to the first other
// character, accumulated modulo 2^32 ('-' negates modulo 2^32).
// Returns false, leaving *value alone, when no digit follows the optional
// sign and prefix ("0x" alone reads nothing; "0" reads 0).
bool ReadHexNumber(const char* text, uint32_t* value);
