#include "tests/support/escape.h"

#include <cstdio>

void EscapeText(const char* text, char* out, size_t size) {
  if (size == 0) return;
  size_t at = 0;
  for (const char* p = text; *p != '\0' && at + 4 < size; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out[at++] = static_cast<char>(c);
    } else {
      at += size_t(std::snprintf(out + at, size - at, "\\x%02x", c));
    }
  }
  out[at] = '\0';
}
