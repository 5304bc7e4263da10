// Texts without a formatting library: the Windows program has none to
// spare. Each appends to a zero-terminated text in a buffer of size bytes,
// cutting what does not fit.
#pragma once
#include <cstddef>
#include <cstring>

inline void AppendText(char* out, size_t size, const char* text) {
  size_t used = std::strlen(out);
  while (*text != '\0' && used + 1 < size) out[used++] = *text++;
  out[used] = '\0';
}

inline void AppendNumber(char* out, size_t size, unsigned long value) {
  char digits[12];
  char* at = digits + sizeof digits - 1;
  *at = '\0';
  do {
    *--at = char('0' + value % 10);
    value /= 10;
  } while (value != 0);
  AppendText(out, size, at);
}

// "first-last", as channels and pixels are written.
inline void AppendRange(char* out, size_t size, unsigned long first, unsigned long last) {
  AppendNumber(out, size, first);
  AppendText(out, size, "-");
  AppendNumber(out, size, last);
}
