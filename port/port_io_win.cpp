// Port access on Windows.
//
// - A port driver DLL beside the program's own .exe (PORT_DRIVER_DLL: the
//   inpout family's inpoutx64.dll or inpout32.dll, by the program's bitness)
//   is used when it is there: its driver does the I/O in the kernel.
// - Otherwise the processor's in and out instructions are used directly, as
//   on a system that grants the process I/O rights. Where it has none, the
//   first one raises STATUS_PRIVILEGED_INSTRUCTION; one probing read at
//   start-up finds that out under a vectored handler instead of ending the
//   process, and the program then runs without the port. Vectored handlers
//   came with Windows XP: before it (NT 4.0, 2000) the process's last-chance
//   filter does the same work for the probe, so both are looked up, never
//   imported.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "port/port_io.h"
#include "port/port_io_win.h"

#ifndef PORT_DRIVER_DLL
#error "PORT_DRIVER_DLL (the driver DLL's file name) comes from lights/CMakeLists.txt"
#endif

namespace {

// The driver DLL's exports. __stdcall matters on i686 and is ignored on x86-64.
typedef short(__stdcall* Inp32Fn)(short port);  // Only the low byte counts.
typedef void(__stdcall* Out32Fn)(short port, short value);
typedef BOOL(__stdcall* IsDriverOpenFn)();

enum class Access { kNone, kDriverDll, kDirect };
enum class Refusal { kNone, kNoDriverDll, kDllUnusable, kDriverNotOpen };

Access portAccess = Access::kNone;
Refusal refusal = Refusal::kNone;
Inp32Fn inp32 = nullptr;
Out32Fn out32 = nullptr;

// The probe: the thread that probes, whether its instruction faulted, and with what.
std::atomic<DWORD> probingThread{0};
std::atomic<bool> probeFaulted{false};
std::atomic<DWORD> probeException{0};

// "in al,dx" and "out dx,al": one byte each, so a skipped one is one byte.
constexpr unsigned char kInAlDx = 0xEC;
constexpr unsigned char kOutDxAl = 0xEE;

// The "d" constraint (no "N") keeps the port in DX, so the compiler never
// picks the two-byte immediate form that the fault handler would misjudge.
uint8_t InstructionIn(uint16_t port) {
  uint8_t value = 0xFF;  // Stays so when a refused instruction is skipped.
  asm volatile("inb %w1, %b0" : "+a"(value) : "d"(port));
  return value;
}

void InstructionOut(uint16_t port, uint8_t value) {
  asm volatile("outb %b0, %w1" : : "a"(value), "d"(port));
}

#if defined(_WIN64)
void SkipOneByte(CONTEXT* context) { context->Rip += 1; }
#else
void SkipOneByte(CONTEXT* context) { context->Eip += 1; }
#endif

LONG CALLBACK ProbeFaultHandler(EXCEPTION_POINTERS* info) {
  if (probingThread.load() != GetCurrentThreadId()) return EXCEPTION_CONTINUE_SEARCH;
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  // Windows reports a refused port instruction as a privileged instruction;
  // an access violation is accepted too, in case a system reports it so.
  if (code != STATUS_PRIVILEGED_INSTRUCTION && code != STATUS_ACCESS_VIOLATION)
    return EXCEPTION_CONTINUE_SEARCH;
  const auto* at = static_cast<const unsigned char*>(info->ExceptionRecord->ExceptionAddress);
  if (*at != kInAlDx && *at != kOutDxAl) return EXCEPTION_CONTINUE_SEARCH;
  probeException = code;
  probeFaulted = true;
  SkipOneByte(info->ContextRecord);
  return EXCEPTION_CONTINUE_EXECUTION;
}

template <typename Fn>
Fn Export(HMODULE dll, const char* name) {
  // Through void(*)(): the one cast to another function type GCC accepts quietly.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

// Where there are no vectored handlers, the filter that was there before
// the probe's own keeps every other exception.
LPTOP_LEVEL_EXCEPTION_FILTER filterBeforeProbe = nullptr;
bool lastChanceFilterOnly = false;  // Tests: as on a system without vectored handlers.

LONG WINAPI ProbeLastChanceFilter(EXCEPTION_POINTERS* info) {
  const LONG answer = ProbeFaultHandler(info);
  if (answer != EXCEPTION_CONTINUE_SEARCH || filterBeforeProbe == nullptr) return answer;
  return filterBeforeProbe(info);
}

typedef LONG(CALLBACK* VectoredHandlerFn)(EXCEPTION_POINTERS* info);
typedef void*(WINAPI* AddVectoredHandlerFn)(ULONG first, VectoredHandlerFn handler);
typedef ULONG(WINAPI* RemoveVectoredHandlerFn)(void* handle);

// One read of the control register (reading is harmless): does the
// processor let this process use the ports?
bool ProbeDirectAccess(uint16_t base) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto add = Export<AddVectoredHandlerFn>(kernel, "AddVectoredExceptionHandler");
  auto remove = Export<RemoveVectoredHandlerFn>(kernel, "RemoveVectoredExceptionHandler");
  void* handler = nullptr;
  if (add != nullptr && remove != nullptr && !lastChanceFilterOnly) {
    handler = add(1, ProbeFaultHandler);  // First in line.
    if (handler == nullptr) return false;  // Unprotected, the probe could end the process.
  } else {
    filterBeforeProbe = SetUnhandledExceptionFilter(ProbeLastChanceFilter);
  }
  probeFaulted = false;
  probingThread = GetCurrentThreadId();
  InstructionIn(uint16_t(base + 2));
  probingThread = 0;
  if (handler != nullptr)
    remove(handler);
  else
    SetUnhandledExceptionFilter(filterBeforeProbe);
  return !probeFaulted;
}

// The folder of the program's own .exe, with its trailing backslash, and
// the .exe's file name. Not the current folder: a DLL that happens to lie
// there must not drive the port.
void ExeFolderAndName(char* folder, size_t folderSize, const char** name) {
  static char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) path[0] = '\0';
  const char* slash = std::strrchr(path, '\\');
  const size_t folderLength = slash ? size_t(slash - path + 1) : 0;
  std::snprintf(folder, folderSize, "%.*s", int(folderLength), path);
  *name = path + folderLength;
}

// Returns false when the DLL is not beside the .exe at all.
bool DriverDllPath(char* path, size_t size) {
  char folder[MAX_PATH];
  const char* exeName = nullptr;
  ExeFolderAndName(folder, sizeof folder, &exeName);
  if (folder[0] == '\0') return false;
  std::snprintf(path, size, "%s%s", folder, PORT_DRIVER_DLL);
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

Refusal AskDriverDll(HMODULE dll) {
  inp32 = Export<Inp32Fn>(dll, "Inp32");
  out32 = Export<Out32Fn>(dll, "Out32");
  if (inp32 == nullptr || out32 == nullptr) return Refusal::kDllUnusable;
  // Older DLLs lack the question; their driver is then assumed to work.
  const auto isDriverOpen = Export<IsDriverOpenFn>(dll, "IsInpOutDriverOpen");
  if (isDriverOpen != nullptr && !isDriverOpen()) return Refusal::kDriverNotOpen;
  return Refusal::kNone;
}

Refusal OpenDriverDll(const char* path) {
  // The full path with the altered search order: the DLL's own dependencies
  // are looked for beside it, as if it were loaded from its folder.
  HMODULE dll = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (dll == nullptr) return Refusal::kDllUnusable;
  const Refusal answer = AskDriverDll(dll);
  if (answer != Refusal::kNone) FreeLibrary(dll);  // Kept for the life of the process otherwise.
  return answer;
}

}  // namespace

bool PortAccessOpen(uint16_t base) {
  probeException = 0;
  char dllPath[MAX_PATH + 32];
  if (DriverDllPath(dllPath, sizeof dllPath)) {
    refusal = OpenDriverDll(dllPath);
    portAccess = (refusal == Refusal::kNone) ? Access::kDriverDll : Access::kNone;
  } else {
    const bool allowed = ProbeDirectAccess(base);
    refusal = allowed ? Refusal::kNone : Refusal::kNoDriverDll;
    portAccess = allowed ? Access::kDirect : Access::kNone;
  }
  return portAccess != Access::kNone;
}

void FormatNoPortAccessMessage(uint16_t base, char* text, size_t size) {
  char folder[MAX_PATH];
  const char* exeName = nullptr;
  ExeFolderAndName(folder, sizeof folder, &exeName);
  // Each reason takes the DLL's name, the .exe's name and its folder, in
  // this order, as far as it needs them.
  const char* reason =
      "Put the port driver DLL %s beside %s (in %s) and start again.";
  if (refusal == Refusal::kDriverNotOpen)
    reason = "The port driver DLL %s is there, but its driver is not running. Start %s once as "
             "administrator so that the DLL can install its driver, then start it again.";
  if (refusal == Refusal::kDllUnusable)
    reason = "%s beside %s could not be used: it must be the port driver DLL for this program's "
             "bitness, with Inp32 and Out32.";
  char why[512];
  std::snprintf(why, sizeof why, reason, PORT_DRIVER_DLL, exeName, folder);
  std::snprintf(text, size,
                "No access to the parallel port at %X.\n\n%s\n\nThe lamps are shown in the window only (EMU).",
                base, why);
}

uint8_t PortRead8(uint16_t address) {
  if (portAccess == Access::kDriverDll) return uint8_t(inp32(short(address)) & 0xFF);
  return InstructionIn(address);
}

void PortWrite8(uint16_t address, uint8_t value) {
  if (portAccess == Access::kDriverDll) {
    out32(short(address), short(value));
    return;
  }
  InstructionOut(address, value);
}

uint32_t LastProbeException() { return probeException; }

void ProbeWithLastChanceFilterOnly(bool only) { lastChanceFilterOnly = only; }
