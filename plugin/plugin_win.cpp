// The DLL the player loads: one module per lamp style. Render runs the
// analysis on the player's thread and hands the lamps to a sender thread,
// which alone talks to the pipe, so that the player never waits on it.
//
// Threads: Win32 only (CreateThread, an event, a critical section): the
// Windows builds may use a thread model without std::thread.
#include "plugin/plugin_win.h"

#include <cstdio>
#include <new>

#include "pipe/pipe_client.h"
#include "plugin/lamp_feed.h"
#include "plugin/lamp_schedule.h"
#include "plugin/vis_module.h"

namespace plugin {

HINSTANCE PluginInstance = nullptr;

namespace {

constexpr DWORD kRetryMs = 1000;      // Between tries to reach a server that is not there.
constexpr DWORD kQuitWaitMs = 1500;   // Quit waits this long for the sender at most.
// While the lamps stay as they are nothing is written, so a server that went
// away would not be noticed; an empty write (no line: the server's read, if
// any, holds 0 bytes and changes nothing) tells at most this late.
constexpr int64_t kProbeMs = 1000;

int64_t NowMs() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return int64_t(now.QuadPart / frequency * 1000 + now.QuadPart % frequency * 1000 / frequency);
}

// Shared by Render, Quit and the sender thread; the last of Quit and the
// thread to let go deletes it, so that a sender stuck in a write outlives
// a Quit that stopped waiting for it.
struct Sender {
  explicit Sender(const ScheduleOptions& options) : schedule(options) {
    InitializeCriticalSection(&lock);
  }
  ~Sender() {
    DeleteCriticalSection(&lock);
    if (wake != nullptr) CloseHandle(wake);
  }
  CRITICAL_SECTION lock;
  HANDLE wake = nullptr;  // Auto-reset: Render or Quit has news.
  LampSchedule schedule;  // Under lock.
  bool stop = false;      // Under lock.
  LONG refs = 2;
};

void Release(Sender* sender) {
  if (InterlockedDecrement(&sender->refs) == 0) delete sender;
}

bool WriteLamps(PipeConnection* connection, music::LampBits bits) {
  char line[kLampLineLength];
  FormatLampLine(bits, line);
  std::string detail;
  return PipeWrite(connection, line, sizeof line, &detail) == PipeStatus::kOk;
}

void SenderLoop(Sender* sender) {
  PipeConnection* connection = nullptr;
  std::string detail;  // Nobody reads it: the player has no place for messages.
  int64_t nextConnect = 0;
  int64_t lastWrite = 0;
  for (;;) {
    const int64_t now = NowMs();
    if (connection == nullptr && now >= nextConnect) {
      if (PipeConnect(&connection, &detail) == PipeStatus::kOk) {
        EnterCriticalSection(&sender->lock);
        sender->schedule.Lost();  // A new server shows nothing of ours yet.
        LeaveCriticalSection(&sender->lock);
        lastWrite = now;
      } else {
        connection = nullptr;
        nextConnect = now + kRetryMs;
      }
    }
    EnterCriticalSection(&sender->lock);
    const bool stop = sender->stop;
    const ScheduleStep step = sender->schedule.Next(now, connection != nullptr);
    LeaveCriticalSection(&sender->lock);
    if (stop) break;

    const bool probe = !step.write && connection != nullptr && now - lastWrite >= kProbeMs;
    if (step.write || probe) {
      lastWrite = now;
      if (probe ? PipeWrite(connection, "", 0, &detail) == PipeStatus::kOk : WriteLamps(connection, step.bits)) {
        if (probe) continue;
        EnterCriticalSection(&sender->lock);
        sender->schedule.Written(now, step.bits);
        LeaveCriticalSection(&sender->lock);
        continue;  // The schedule decides when the next line may go.
      }
      PipeDisconnect(connection);  // The server went away: try again at once, then every second.
      connection = nullptr;
      EnterCriticalSection(&sender->lock);
      sender->schedule.Lost();
      LeaveCriticalSection(&sender->lock);
      continue;
    }
    int64_t wakeAt = step.wakeAt;
    if (connection == nullptr && nextConnect < wakeAt) wakeAt = nextConnect;
    if (connection != nullptr && lastWrite + kProbeMs < wakeAt) wakeAt = lastWrite + kProbeMs;
    const int64_t wait = wakeAt == kNever ? INFINITE : wakeAt - NowMs();
    WaitForSingleObject(sender->wake, wait <= 0 ? 0 : wait > 0x7FFFFFFF ? INFINITE : DWORD(wait));
  }
  // Quit: no lamp stays lit.
  if (connection == nullptr && PipeConnect(&connection, &detail) != PipeStatus::kOk)
    connection = nullptr;
  if (connection != nullptr) WriteLamps(connection, 0);
  PipeDisconnect(connection);
}

DWORD WINAPI SenderThread(void* parameter) {
  Sender* sender = static_cast<Sender*>(parameter);
  // The thread holds its own reference to the DLL (taken for it by
  // StartSender), so that a player that unloads the DLL after a Quit that
  // stopped waiting does not pull the code from under it.
  SenderLoop(sender);
  Release(sender);
  FreeLibraryAndExitThread(PluginInstance, 0);
  return 0;
}

Sender* StartSender(const ScheduleOptions& options) {
  Sender* sender = new (std::nothrow) Sender(options);
  if (sender == nullptr) return nullptr;
  sender->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HMODULE self = nullptr;
  if (sender->wake == nullptr ||
      !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCSTR>(&SenderThread), &self)) {
    delete sender;
    return nullptr;
  }
  HANDLE thread = CreateThread(nullptr, 0, SenderThread, sender, 0, nullptr);
  if (thread == nullptr) {
    FreeLibrary(self);
    delete sender;
    return nullptr;
  }
  CloseHandle(thread);  // Quit waits on the thread's end through a handle of its own.
  return sender;
}

// What one module keeps between Init and Quit.
struct ModuleState {
  LampFeed* feed = nullptr;
  Sender* sender = nullptr;
  int64_t start = 0;
  bool lastZeroed = false;
};

music::Style ModuleStyle(int index) { return static_cast<music::Style>(index); }

winampVisModule Modules[music::kStyleCount];
char ModuleTexts[music::kStyleCount][64];
char HeaderText[] = "Pipe Server Vantrelle (lamps over a pipe) v1.0";

int ModuleIndex(const winampVisModule* module) {
  for (int i = 0; i < music::kStyleCount; ++i)
    if (module == &Modules[i]) return i;
  return 0;
}

void VIS_CDECL ModuleConfig(winampVisModule* module) {
  RunConfigDialog(static_cast<HWND>(module->hwndParent), ModuleStyle(ModuleIndex(module)));
}

int VIS_CDECL ModuleInit(winampVisModule* module) {
  const PluginSettings settings = LoadSettings(SettingsPath());
  const music::Style style = settings.ownStyle ? ModuleStyle(ModuleIndex(module)) : settings.style;
  ModuleState* state = new (std::nothrow) ModuleState;
  if (state == nullptr) return 1;
  try {
    state->feed = new LampFeed(style, settings.holdMs / 1000.0, module->sRate);
  } catch (...) {  // Nothing may escape into the player.
    delete state;
    return 1;
  }
  ScheduleOptions options;
  options.delayMs = settings.delayMs;
  state->sender = StartSender(options);
  if (state->sender == nullptr) {
    delete state->feed;
    delete state;
    return 1;
  }
  state->start = NowMs();
  module->userData = state;
  return 0;
}

int VIS_CDECL ModuleRender(winampVisModule* module) {
  ModuleState* state = static_cast<ModuleState*>(module->userData);
  if (state == nullptr) return 1;
  const int64_t now = NowMs();
  FeedResult lamps;
  try {
    lamps = state->feed->Next(*module, (now - state->start) / 1000.0);
  } catch (...) {
    return 0;  // A frame lost; the next one may do.
  }
  // Only the first of a run of zeroed frames is the stop; the rest are silence.
  const bool off = lamps.zeroed && !state->lastZeroed;
  state->lastZeroed = lamps.zeroed;
  Sender* sender = state->sender;
  EnterCriticalSection(&sender->lock);
  const bool wake = sender->schedule.Push(now, lamps.bits, off);
  LeaveCriticalSection(&sender->lock);
  if (wake) SetEvent(sender->wake);
  return 0;
}

void VIS_CDECL ModuleQuit(winampVisModule* module) {
  ModuleState* state = static_cast<ModuleState*>(module->userData);
  if (state == nullptr) return;
  module->userData = nullptr;
  Sender* sender = state->sender;
  EnterCriticalSection(&sender->lock);
  sender->stop = true;
  LeaveCriticalSection(&sender->lock);
  SetEvent(sender->wake);
  // The sender's last act is to drop its count; wait for that, bounded.
  const DWORD start = GetTickCount();
  while (InterlockedCompareExchange(&sender->refs, 0, 0) > 1 && GetTickCount() - start < kQuitWaitMs)
    Sleep(5);
  Release(sender);
  delete state->feed;
  delete state;
}

winampVisModule* VIS_CDECL GetModule(int index) {
  if (index < 0 || index >= music::kStyleCount) return nullptr;
  winampVisModule& module = Modules[index];
  if (module.description == nullptr) {
    std::snprintf(ModuleTexts[index], sizeof ModuleTexts[index], "Pipe Server Vantrelle: %s lamps",
                  music::StyleName(ModuleStyle(index)));
    module.description = ModuleTexts[index];
    module.latencyMs = 0;
    module.delayMs = 20;  // One Render per line slot.
    module.spectrumNch = 2;
    module.waveformNch = 2;
    module.Config = ModuleConfig;
    module.Init = ModuleInit;
    module.Render = ModuleRender;
    module.Quit = ModuleQuit;
  }
  return &module;
}

winampVisHeader Header = {kVisHeaderVersion, HeaderText, GetModule};

}  // namespace

}  // namespace plugin

extern "C" winampVisHeader* VIS_CDECL winampVisGetHeader() { return &plugin::Header; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    plugin::PluginInstance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
