// A stand-in for the port driver DLL (built as inpoutx64.dll / inpout32.dll):
// the same exports, no hardware. Every call is appended to the file that
// $PORT_TEST_LOG names, one line each:
//   "R 037A E1" a read of 0x37A that returned E1, "W 0378 34" a write,
//   "IsInpOutDriverOpen 1" the driver question and its answer.
// $FAKE_INPOUT_READ (hex) is what every read returns (default FF);
// $FAKE_INPOUT_DRIVER_CLOSED=1 makes IsInpOutDriverOpen answer FALSE.
// Built without Out32 (FAKE_INPOUT_WITHOUT_OUT32) or without the driver
// question (FAKE_INPOUT_WITHOUT_DRIVER_QUESTION) for the other cases.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Log(const char* format, ...) {
  const char* path = std::getenv("PORT_TEST_LOG");
  if (path == nullptr) return;
  FILE* log = std::fopen(path, "a");
  if (log == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(log, format, args);
  va_end(args);
  std::fclose(log);
}

unsigned ReadValue() {
  const char* value = std::getenv("FAKE_INPOUT_READ");
  return value ? unsigned(std::strtoul(value, nullptr, 16) & 0xFF) : 0xFFu;
}

}  // namespace

// Plain names on i686 too: the target links with --kill-at.
extern "C" {

__declspec(dllexport) short __stdcall Inp32(short port) {
  const unsigned value = ReadValue();
  Log("R %04X %02X\n", unsigned(uint16_t(port)), value);
  return short(0x5A00 | value);  // Junk in the high byte: only the low byte counts.
}

#ifndef FAKE_INPOUT_WITHOUT_OUT32
__declspec(dllexport) void __stdcall Out32(short port, short value) {
  Log("W %04X %02X\n", unsigned(uint16_t(port)), unsigned(uint16_t(value)));
}
#endif

#ifndef FAKE_INPOUT_WITHOUT_DRIVER_QUESTION
__declspec(dllexport) BOOL __stdcall IsInpOutDriverOpen() {
  const char* closed = std::getenv("FAKE_INPOUT_DRIVER_CLOSED");
  const BOOL open = (closed == nullptr || std::strcmp(closed, "1") != 0);
  Log("IsInpOutDriverOpen %d\n", int(open));
  return open;
}
#endif

}  // extern "C"
