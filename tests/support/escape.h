// How the test hosts print a status text, so that a script or a model can
// compare it: printable ASCII as it is; quotes, backslashes and every other
// byte as \xNN, so that a carriage return or a NUL in a line shows.
#pragma once
#include <cstddef>

// Longest status text (8 characters), each byte escaped, and the NUL.
constexpr size_t kEscapedStatusSize = 8 * 4 + 1;

// Writes the escaped text into out (size bytes, always terminated); stops
// before an escape that would not fit whole. Allocates nothing, so that a
// host's memory shows the listener's alone.
void EscapeText(const char* text, char* out, size_t size);

template <size_t N>
void EscapeText(const char* text, char (&out)[N]) {
  EscapeText(text, out, N);
}
