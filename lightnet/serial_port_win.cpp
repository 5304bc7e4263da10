// The serial port's calls that the program does not import already are
// looked up in kernel32.dll at first use, so that pipeserver.exe imports
// nothing new (tests/imports); every one of them is on Windows NT 3.1 and 95.
#include <windows.h>

#include <cstring>

#include "lightnet/net_platform.h"
#include "lightnet/serial_port.h"
#include "lightnet/usbpro.h"
#include "protocol/short_text.h"

namespace {

struct Kernel32Serial {
  HANDLE(WINAPI* createFile)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* getState)(HANDLE, LPDCB);
  BOOL(WINAPI* setState)(HANDLE, LPDCB);
  BOOL(WINAPI* setTimeouts)(HANDLE, LPCOMMTIMEOUTS);
  BOOL(WINAPI* purge)(HANDLE, DWORD);
};

template <typename Fn>
bool Find(HMODULE dll, const char* name, Fn* slot) {
  *slot = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
  return *slot != nullptr;
}

// Looked up once; a race between two outputs' threads finds the same values.
const Kernel32Serial* Calls() {
  static Kernel32Serial calls;
  static volatile LONG ready;  // 1 found, 2 missing.
  if (ready == 0) {
    HMODULE dll = GetModuleHandleA("kernel32.dll");
    const bool found = dll != nullptr && Find(dll, "CreateFileA", &calls.createFile) &&
                       Find(dll, "WriteFile", &calls.writeFile) && Find(dll, "GetCommState", &calls.getState) &&
                       Find(dll, "SetCommState", &calls.setState) &&
                       Find(dll, "SetCommTimeouts", &calls.setTimeouts) && Find(dll, "PurgeComm", &calls.purge);
    ready = found ? 1 : 2;
  }
  return ready == 1 ? &calls : nullptr;
}

DWORD Milliseconds(double seconds) { return seconds <= 0 ? 1 : DWORD(seconds * 1000) + 1; }

// Reads return what has come at once, else wait for the first byte up to
// the time given; writes give up after their own time.
bool SetTimeouts(HANDLE port, DWORD readMs, DWORD writeMs) {
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = readMs;
  timeouts.WriteTotalTimeoutConstant = writeMs;
  return Calls()->setTimeouts(port, &timeouts) != 0;
}

}  // namespace

intptr_t OpenSerialPort(const char* name, int* error) {
  const Kernel32Serial* calls = Calls();
  char path[32];
  if (calls == nullptr) {
    *error = ERROR_PROC_NOT_FOUND;
    return -1;
  }
  if (!WindowsDevicePath(name, path, sizeof path)) {
    *error = ERROR_INVALID_NAME;
    return -1;
  }
  HANDLE port = calls->createFile(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    *error = int(GetLastError());
    return -1;
  }
  DCB mode = {};
  mode.DCBlength = sizeof mode;
  if (!calls->getState(port, &mode)) {
    *error = int(GetLastError());
    CloseHandle(port);
    return -1;
  }
  mode.BaudRate = CBR_115200;
  mode.fBinary = TRUE;
  mode.fParity = FALSE;
  mode.fOutxCtsFlow = FALSE;
  mode.fOutxDsrFlow = FALSE;
  mode.fDtrControl = DTR_CONTROL_ENABLE;
  mode.fDsrSensitivity = FALSE;
  mode.fOutX = FALSE;
  mode.fInX = FALSE;
  mode.fNull = FALSE;
  mode.fRtsControl = RTS_CONTROL_ENABLE;
  mode.fAbortOnError = FALSE;
  mode.ByteSize = 8;
  mode.Parity = NOPARITY;
  mode.StopBits = ONESTOPBIT;
  if (!calls->setState(port, &mode) || !SetTimeouts(port, 1, 500)) {
    *error = int(GetLastError());
    CloseHandle(port);
    return -1;
  }
  return reinterpret_cast<intptr_t>(port);
}

int WriteSerial(intptr_t port, const uint8_t* data, size_t length, double seconds) {
  HANDLE handle = reinterpret_cast<HANDLE>(port);
  if (!SetTimeouts(handle, 1, Milliseconds(seconds))) return int(GetLastError());
  DWORD wrote = 0;
  if (!Calls()->writeFile(handle, data, DWORD(length), &wrote, nullptr)) return int(GetLastError());
  return wrote == length ? 0 : ERROR_TIMEOUT;
}

long ReadSerial(intptr_t port, uint8_t* out, size_t size, double seconds, int* error) {
  HANDLE handle = reinterpret_cast<HANDLE>(port);
  if (!SetTimeouts(handle, Milliseconds(seconds), 500)) {
    *error = int(GetLastError());
    return -1;
  }
  DWORD got = 0;
  if (!ReadFile(handle, out, DWORD(size), &got, nullptr)) {
    *error = int(GetLastError());
    return -1;
  }
  return long(got);
}

void DropSerialInput(intptr_t port) { Calls()->purge(reinterpret_cast<HANDLE>(port), PURGE_RXCLEAR); }

void CloseSerialPort(intptr_t port) {
  if (port != -1) CloseHandle(reinterpret_cast<HANDLE>(port));
}

bool CheckSerialPort(const char* name, char* why, size_t size) {
  int error = 0;
  const intptr_t port = OpenSerialPort(name, &error);
  if (port != -1) {
    CloseSerialPort(port);
    return true;
  }
  char detail[96];
  SerialErrorText(error, detail, sizeof detail);
  ShortText text;
  text.Add("cannot open the port (").Add(detail).Add(")");
  text.CopyTo(why, size);
  return false;
}

void SerialErrorText(int error, char* out, size_t size) {
  static const struct {
    int error;
    const char* text;
  } kTexts[] = {{ERROR_FILE_NOT_FOUND, "no such port"},
                {ERROR_ACCESS_DENIED, "in use by another program"},
                {ERROR_BAD_COMMAND, "unplugged?"},
                {ERROR_GEN_FAILURE, "unplugged?"},
                {ERROR_TIMEOUT, "it takes no data"}};
  for (const auto& known : kTexts) {
    if (known.error != error) continue;
    ShortText text;
    text.Add(known.text).Add(", error ").AddNumber(unsigned(error));
    text.CopyTo(out, size);
    return;
  }
  ErrorText(error, out, size);
}
