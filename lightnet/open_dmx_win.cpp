// Open DMX on Windows through FTDI's D2XX library. The library comes with
// the interface's driver; it is looked up at run time, never imported, so
// that the program loads without it and on systems older than the driver.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lightnet/open_dmx.h"

namespace {

// D2XX's types and calls as FTDI's programmer's guide gives them.
typedef ULONG FtStatus;
typedef void* FtHandle;
enum : FtStatus { kFtOk = 0 };
enum : UCHAR { kBits8 = 8, kStopBits2 = 2, kParityNone = 0 };
enum : USHORT { kFlowNone = 0 };
enum : ULONG { kPurgeRx = 1, kPurgeTx = 2 };
enum : ULONG { kReadTimeoutMs = 0, kWriteTimeoutMs = 100 };  // 0: the program never reads.

struct D2xx {
  FtStatus(WINAPI* open)(int device, FtHandle* handle);
  FtStatus(WINAPI* resetDevice)(FtHandle);
  FtStatus(WINAPI* setBaudRate)(FtHandle, ULONG baud);
  FtStatus(WINAPI* setDataCharacteristics)(FtHandle, UCHAR bits, UCHAR stopBits, UCHAR parity);
  FtStatus(WINAPI* setFlowControl)(FtHandle, USHORT flow, UCHAR xon, UCHAR xoff);
  FtStatus(WINAPI* clrRts)(FtHandle);
  FtStatus(WINAPI* purge)(FtHandle, ULONG mask);
  FtStatus(WINAPI* setTimeouts)(FtHandle, ULONG readMs, ULONG writeMs);
  FtStatus(WINAPI* setBreakOn)(FtHandle);
  FtStatus(WINAPI* setBreakOff)(FtHandle);
  FtStatus(WINAPI* write)(FtHandle, void* buffer, DWORD bytes, DWORD* written);
  FtStatus(WINAPI* close)(FtHandle);
};

// The same order as D2xx's members.
const char* const kCallNames[] = {"FT_Open",        "FT_ResetDevice", "FT_SetBaudRate", "FT_SetDataCharacteristics",
                                  "FT_SetFlowControl", "FT_ClrRts",   "FT_Purge",       "FT_SetTimeouts",
                                  "FT_SetBreakOn",  "FT_SetBreakOff", "FT_Write",       "FT_Close"};
static_assert(sizeof(kCallNames) / sizeof(kCallNames[0]) == sizeof(D2xx) / sizeof(void (*)()),
              "a name for every call");

// FTDI's 64-bit package names its DLL ftd2xx.dll as the 32-bit one does;
// some of its packages add ftd2xx64.dll, tried after it.
#if defined(_WIN64)
const char* const kLibraryNames[] = {"ftd2xx.dll", "ftd2xx64.dll"};
#else
const char* const kLibraryNames[] = {"ftd2xx.dll"};
#endif

D2xx Calls;
enum class Library { kNotTried, kAbsent, kUnusable, kReady } LibraryState = Library::kNotTried;
char LibraryPath[MAX_PATH + 32];
const char* MissingCall = "";

// Windows' timer ticks every 15.6 ms unless a program asks for finer: the
// frames come every 24 ms only with 1 ms. winmm.dll is looked up, never
// imported; without it the frames come a tick late.
typedef UINT(WINAPI* TimerPeriodFn)(UINT milliseconds);
TimerPeriodFn BeginPeriod = nullptr, EndPeriod = nullptr;

void LookUpTimer() {
  char path[MAX_PATH + 16];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  std::strcat(path, "\\winmm.dll");
  HMODULE winmm = LoadLibraryExA(path, nullptr, 0);
  if (winmm == nullptr) return;
  BeginPeriod = reinterpret_cast<TimerPeriodFn>(reinterpret_cast<void (*)()>(GetProcAddress(winmm, "timeBeginPeriod")));
  EndPeriod = reinterpret_cast<TimerPeriodFn>(reinterpret_cast<void (*)()>(GetProcAddress(winmm, "timeEndPeriod")));
}

void FineTimer(bool on) {
  const TimerPeriodFn call = on ? BeginPeriod : EndPeriod;
  if (call != nullptr) call(1);
}

// The first caller is the start-up's check, on the UI thread, before any
// output's thread starts: no lock.
bool LoadCalls() {
  if (LibraryState != Library::kNotTried) return LibraryState == Library::kReady;
  LibraryState = Library::kAbsent;
  // Beside the program's .exe (where a user may put FTDI's DLL), then the
  // system folder where FTDI's driver installs it (SysWOW64 for a 32-bit
  // program on 64-bit Windows, by the system's redirection). Full paths
  // only: never the current folder.
  char folders[2][MAX_PATH];
  const DWORD exeLength = GetModuleFileNameA(nullptr, folders[0], MAX_PATH);
  char* slash = exeLength > 0 && exeLength < MAX_PATH ? std::strrchr(folders[0], '\\') : nullptr;
  if (slash != nullptr)
    slash[1] = '\0';
  else
    folders[0][0] = '\0';
  const UINT systemLength = GetSystemDirectoryA(folders[1], MAX_PATH);
  if (systemLength == 0 || systemLength >= MAX_PATH - 1)
    folders[1][0] = '\0';
  else
    std::strcat(folders[1], "\\");
  HMODULE dll = nullptr;
  for (const char* name : kLibraryNames) {
    for (const char* folder : folders) {
      if (dll != nullptr || folder[0] == '\0') continue;
      std::snprintf(LibraryPath, sizeof LibraryPath, "%s%s", folder, name);
      if (GetFileAttributesA(LibraryPath) == INVALID_FILE_ATTRIBUTES) continue;
      dll = LoadLibraryExA(LibraryPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
      if (dll == nullptr) LibraryState = Library::kUnusable;  // There, but not for this bitness.
    }
  }
  if (dll == nullptr) return false;
  void (**slots)() = reinterpret_cast<void (**)()>(&Calls);
  for (size_t i = 0; i < sizeof(kCallNames) / sizeof(kCallNames[0]); ++i) {
    slots[i] = reinterpret_cast<void (*)()>(GetProcAddress(dll, kCallNames[i]));
    if (slots[i] == nullptr) {
      MissingCall = kCallNames[i];
      LibraryState = Library::kUnusable;
      FreeLibrary(dll);
      return false;
    }
  }
  LibraryState = Library::kReady;  // Kept for the life of the process.
  LookUpTimer();
  return true;
}

// The break and the mark after it are 100 µs and 12 µs at least: far below
// any sleep's tick, so the thread watches the performance counter for them
// (about 0.15 ms of a processor a frame).
void SpinFor(double seconds) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const LONGLONG ticks = LONGLONG(seconds * double(frequency.QuadPart)) + 1;
  do QueryPerformanceCounter(&now);
  while (now.QuadPart - start.QuadPart < ticks);
}

// A margin over DMX's minimums (100 µs and 12 µs).
constexpr double kBreakSeconds = 0.000120;
constexpr double kMarkSeconds = 0.000020;

struct Link {
  FtHandle handle;
  uint8_t frame[513];
};

}  // namespace

bool OpenDmxInThisBuild() { return true; }

void* OpenDmxOpen(unsigned device, char* why, size_t size) {
  char ignored[8];
  if (why == nullptr) {
    why = ignored;
    size = sizeof ignored;
  }
  why[0] = '\0';
  if (!LoadCalls()) {
    if (LibraryState == Library::kAbsent)
      std::snprintf(why, size,
                    "FTDI's D2XX library (ftd2xx.dll) is not installed: install the interface's FTDI "
                    "driver, or put ftd2xx.dll beside the program");
    else if (MissingCall[0] == '\0')
      std::snprintf(why, size, "%s could not be loaded: it must be FTDI's D2XX library for this program's bitness",
                    LibraryPath);
    else
      std::snprintf(why, size, "%s has no %s: it is not FTDI's D2XX library", LibraryPath, MissingCall);
    return nullptr;
  }
  FtHandle handle = nullptr;
  FtStatus status = Calls.open(int(device), &handle);
  if (status != kFtOk || handle == nullptr) {
    std::snprintf(why, size, "no FTDI interface %u to open (FT_Open: status %lu): is it plugged in?", device,
                  static_cast<unsigned long>(status));
    return nullptr;
  }
  // DMX's line: 250 kbaud, 8 bits, 2 stop bits, no parity, no flow control,
  // RTS low (Open DMX's driver enable on some interfaces), both buffers empty.
  const char* step = "FT_ResetDevice";
  status = Calls.resetDevice(handle);
  if (status == kFtOk) status = Calls.setBaudRate(handle, 250000), step = "FT_SetBaudRate";
  if (status == kFtOk)
    status = Calls.setDataCharacteristics(handle, kBits8, kStopBits2, kParityNone), step = "FT_SetDataCharacteristics";
  if (status == kFtOk) status = Calls.setFlowControl(handle, kFlowNone, 0, 0), step = "FT_SetFlowControl";
  if (status == kFtOk) status = Calls.clrRts(handle), step = "FT_ClrRts";
  if (status == kFtOk) status = Calls.purge(handle, kPurgeRx | kPurgeTx), step = "FT_Purge";
  // A write that cannot finish (an interface that hangs) ends after the
  // time of a few frames instead of holding the output's thread forever:
  // it then counts as the interface gone.
  if (status == kFtOk) status = Calls.setTimeouts(handle, kReadTimeoutMs, kWriteTimeoutMs), step = "FT_SetTimeouts";
  Link* link = status == kFtOk ? static_cast<Link*>(std::calloc(1, sizeof(Link))) : nullptr;
  if (link == nullptr) {
    std::snprintf(why, size, "FTDI interface %u refused DMX's line settings (%s: status %lu)", device, step,
                  static_cast<unsigned long>(status));
    Calls.close(handle);
    return nullptr;
  }
  link->handle = handle;
  FineTimer(true);
  return link;
}

bool OpenDmxSendFrame(void* opened, const uint8_t levels[512]) {
  Link& link = *static_cast<Link*>(opened);
  link.frame[0] = 0;  // The start code of dimmer levels.
  std::memcpy(link.frame + 1, levels, 512);
  if (Calls.setBreakOn(link.handle) != kFtOk) return false;
  SpinFor(kBreakSeconds);
  if (Calls.setBreakOff(link.handle) != kFtOk) return false;
  SpinFor(kMarkSeconds);
  DWORD written = 0;
  return Calls.write(link.handle, link.frame, sizeof link.frame, &written) == kFtOk && written == sizeof link.frame;
}

void OpenDmxClose(void* opened) {
  if (opened == nullptr) return;
  Link* link = static_cast<Link*>(opened);
  Calls.close(link->handle);
  std::free(link);
  FineTimer(false);
}
