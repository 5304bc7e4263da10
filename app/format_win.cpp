// pipeserver.exe's text formatting: msvcrt's own _vsnprintf instead of
// mingw-w64's C99 printf. libstdc++ turns the latter on for every C++ file,
// so each std::snprintf ends in __mingw_vsnprintf; this definition, linked
// into the program itself, comes before the library's. The program formats
// only %s, %.*s, %X, %x, %02x and %li, which msvcrt formats the same, and
// the .exe loses about 26 KB and the locale and wide-character calls that
// mingw's printf imports (GetModuleHandleW, MultiByteToWideChar, ...).
// Tests keep mingw's: only the program links this file.
#include <stdio.h>

#include <cstdarg>
#include <cstddef>

extern "C" int __cdecl __mingw_vsnprintf(char* buffer, size_t size, const char* format,
                                          va_list arguments) {
  if (size == 0) return 0;
  const int written = _vsnprintf(buffer, size, format, arguments);
  // A text that fills the buffer is left unterminated by msvcrt (and -1
  // returned): cut it one byte shorter, as C99 snprintf does. The
  // program's callers never use the count.
  if (written < 0 || size_t(written) >= size) {
    buffer[size - 1] = '\0';
    return int(size - 1);
  }
  return written;
}
