// The light line, once for the server and every client: the lamp value it
// carries, its longest length, how a client writes it and how the server
// reads it. Depends on nothing.
#pragma once
#include <cstddef>
#include <cstdint>

// The lamp value: bits 0 to 7 are row 1 (the first bank), bits 8 to 15
// row 2 (the second); in each row bit 7 is the leftmost lamp. Lamp n is
// bit n.
using LampBits = uint16_t;

// How many lamps a lamp value holds.
constexpr unsigned kLampCount = 16;
static_assert(sizeof(LampBits) * 8 == kLampCount, "one bit a lamp");

// The longest line the server takes: '>' and at most 7 further characters
// (the line feed that ends it not counted). A longer one is dropped.
constexpr size_t kMaxLineLength = 8;

// ">5L" (mode 5, two banks; any mode but 3) or ">3L" (mode 3, one bank),
// then the value as four upper-case hexadecimal digits, zero-terminated,
// without the line feed. Returns the length, 7.
size_t FormatLightLine(int mode, LampBits bits, char (&line)[kMaxLineLength + 1]);

struct LightCommand {
  int banks;       // 1 for ">3L", 2 for ">5L".
  LampBits value;  // The number's low 16 bits.
};

// Reads a line as the server keeps it (at most kMaxLineLength characters):
// '>', '5' or '3', an upper-case 'L', then a number by ReadHexNumber's rule.
// False, leaving *command alone, for any other line and for a value field
// with no number in it (">5L", ">5Lzz", ">5L0x"): such a line is only shown.
bool ParseLightLine(const char* line, LightCommand* command);
