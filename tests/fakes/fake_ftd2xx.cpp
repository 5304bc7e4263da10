// A stand-in for FTDI's D2XX library (built as ftd2xx.dll): the calls the
// Open DMX output makes, no hardware. Each call appends one line to the file
// that $FTD2XX_TEST_LOG names: the performance counter in microseconds when
// the call began and when the call before it returned (taken after that
// call's own line was written, so that the gaps between calls are the
// caller's alone), the call's name, its arguments and its answer; FT_Write
// adds every byte written, in hex. A second run of the program appends: the
// test deletes the file first.
//   "1234.5 1230.0 FT_SetBaudRate 250000 0"
//   "1300.0 1299.1 FT_Write 513 0 00ff00..."
// $FAKE_FTD2XX_DEVICES: how many interfaces there are (default 1); FT_Open
// of a higher index answers FT_DEVICE_NOT_FOUND. While the file that
// $FAKE_FTD2XX_UNPLUGGED names exists, the interface is unplugged: every
// call on an open handle answers FT_IO_ERROR and FT_Open finds nothing.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

typedef ULONG FtStatus;
enum : FtStatus { kOk = 0, kInvalidHandle = 1, kDeviceNotFound = 2, kIoError = 4 };

int OpenHandle;  // The handle FT_Open hands out: its address.
double LastReturn;  // When the call before returned.

double Microseconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) * 1e6 / double(frequency.QuadPart);
}

// The call's line; the last thing each call does, so that LastReturn is
// its return.
void Log(double began, const char* format, ...) {
  const char* path = std::getenv("FTD2XX_TEST_LOG");
  FILE* log = path != nullptr ? std::fopen(path, "a") : nullptr;
  if (log != nullptr) {
    std::fprintf(log, "%.1f %.1f ", began, LastReturn);
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fputc('\n', log);
    std::fclose(log);
  }
  LastReturn = Microseconds();
}

bool Unplugged() {
  const char* flag = std::getenv("FAKE_FTD2XX_UNPLUGGED");
  return flag != nullptr && GetFileAttributesA(flag) != INVALID_FILE_ATTRIBUTES;
}

// What a call on handle answers: the time it began is taken before.
FtStatus Answer(void* handle) {
  if (handle != &OpenHandle) return kInvalidHandle;
  return Unplugged() ? kIoError : kOk;
}

// A call on an open handle: its answer, logged with its arguments and then
// the answer (format names them all).
template <typename... Args>
FtStatus Call(void* handle, const char* format, Args... args) {
  const double began = Microseconds();
  const FtStatus status = Answer(handle);
  Log(began, format, args..., status);
  return status;
}

}  // namespace

// Plain names on i686 too: the target links with --kill-at.
extern "C" {

__declspec(dllexport) FtStatus WINAPI FT_Open(int device, void** handle) {
  const double began = Microseconds();
  const char* devices = std::getenv("FAKE_FTD2XX_DEVICES");
  const int count = devices != nullptr ? std::atoi(devices) : 1;
  const FtStatus status = device >= 0 && device < count && !Unplugged() ? kOk : kDeviceNotFound;
  *handle = status == kOk ? &OpenHandle : nullptr;
  Log(began, "FT_Open %d %lu", device, status);
  return status;
}

__declspec(dllexport) FtStatus WINAPI FT_Close(void* handle) {
  const double began = Microseconds();
  const FtStatus status = handle == &OpenHandle ? kOk : kInvalidHandle;
  Log(began, "FT_Close %lu", status);
  return status;
}

__declspec(dllexport) FtStatus WINAPI FT_ResetDevice(void* handle) { return Call(handle, "FT_ResetDevice %lu"); }

__declspec(dllexport) FtStatus WINAPI FT_SetBaudRate(void* handle, ULONG baud) {
  return Call(handle, "FT_SetBaudRate %lu %lu", baud);
}

__declspec(dllexport) FtStatus WINAPI FT_SetDataCharacteristics(void* handle, UCHAR bits, UCHAR stopBits,
                                                                 UCHAR parity) {
  return Call(handle, "FT_SetDataCharacteristics %u %u %u %lu", bits, stopBits, parity);
}

__declspec(dllexport) FtStatus WINAPI FT_SetFlowControl(void* handle, USHORT flow, UCHAR xon, UCHAR xoff) {
  return Call(handle, "FT_SetFlowControl %u %u %u %lu", flow, xon, xoff);
}

__declspec(dllexport) FtStatus WINAPI FT_ClrRts(void* handle) { return Call(handle, "FT_ClrRts %lu"); }

__declspec(dllexport) FtStatus WINAPI FT_Purge(void* handle, ULONG mask) { return Call(handle, "FT_Purge %lu %lu", mask); }

__declspec(dllexport) FtStatus WINAPI FT_SetTimeouts(void* handle, ULONG readMs, ULONG writeMs) {
  return Call(handle, "FT_SetTimeouts %lu %lu %lu", readMs, writeMs);
}

__declspec(dllexport) FtStatus WINAPI FT_SetBreakOn(void* handle) { return Call(handle, "FT_SetBreakOn %lu"); }

__declspec(dllexport) FtStatus WINAPI FT_SetBreakOff(void* handle) { return Call(handle, "FT_SetBreakOff %lu"); }

__declspec(dllexport) FtStatus WINAPI FT_Write(void* handle, void* buffer, DWORD bytes, DWORD* written) {
  const double began = Microseconds();
  const FtStatus status = Answer(handle);
  *written = status == kOk ? bytes : 0;
  // Two hex digits a byte, for the whole frame.
  static char hex[2 * 1024 + 1];
  const unsigned char* data = static_cast<const unsigned char*>(buffer);
  const DWORD shown = bytes < 1024 ? bytes : 1024;
  for (DWORD i = 0; i < shown; ++i) std::snprintf(hex + 2 * i, 3, "%02x", data[i]);
  hex[2 * shown] = '\0';
  Log(began, "FT_Write %lu %lu %s", static_cast<unsigned long>(bytes), status, hex);
  return status;
}

}  // extern "C"
