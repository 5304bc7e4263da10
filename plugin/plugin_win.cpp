// The DLL the player loads: one module per lamp style. Render runs the
// analysis on the player's thread and hands the lamps to a sender thread,
// which alone talks to the pipe, so that the player never waits on it.
//
// Threads: Win32 only (CreateThread, an event, Interlocked calls): the
// Windows builds may use a thread model without std::thread.
#include "plugin/plugin_win.h"

#include <algorithm>
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
// While frames come the sender looks every kPollMs (the lamps go out in
// 20 ms slots anyway); otherwise it sleeps until there is news.
constexpr int64_t kPollMs = 5;
constexpr int64_t kLongWaitMs = 1000;

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
//
// Render hands its lamps over through a single-producer, single-consumer
// ring with Interlocked indices: no lock, and in the steady state no system
// call at all (under Wine every event or contended lock is a round trip to
// wineserver, which a busy desktop can make take milliseconds). Render sets
// the event only when the sender has said that it sleeps long.
struct Sender {
  explicit Sender(const ScheduleOptions& options) : schedule(options) {}
  ~Sender() {
    if (wake != nullptr) CloseHandle(wake);
  }
  struct Frame {
    int64_t time;
    music::LampBits bits;
    bool off;
  };
  static constexpr LONG kRing = 1024;  // 20 s of frames: only a sender stuck in a write fills it.
  Frame ring[kRing];
  volatile LONG written = 0;   // Frames put in by Render.
  volatile LONG taken = 0;     // Frames taken out by the sender.
  volatile LONG sleeping = 0;  // 1: the sender waits for the event.
  volatile LONG stop = 0;      // 1: Quit has been called.
  HANDLE wake = nullptr;       // Auto-reset.
  LampSchedule schedule;       // The sender thread's alone.
  LONG refs = 2;
};

LONG Load(volatile LONG* value) { return InterlockedCompareExchange(value, 0, 0); }

// Render's side: never blocks. A full ring drops the frame; the sender
// catches up with the next ones (and a pause turns the lamps off).
void HandOver(Sender* sender, int64_t time, music::LampBits bits, bool off) {
  const LONG at = sender->written;
  if (at - Load(&sender->taken) >= Sender::kRing) return;
  sender->ring[at % Sender::kRing] = {time, bits, off};
  InterlockedExchange(&sender->written, at + 1);
  if (InterlockedCompareExchange(&sender->sleeping, 0, 1) == 1) SetEvent(sender->wake);
}

// The sender's side: every frame handed over so far into the schedule.
void TakeFrames(Sender* sender) {
  const LONG end = Load(&sender->written);
  for (LONG at = sender->taken; at != end; ++at) {
    const Sender::Frame& frame = sender->ring[at % Sender::kRing];
    sender->schedule.Push(frame.time, frame.bits, frame.off);
  }
  InterlockedExchange(&sender->taken, end);
}

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
  while (Load(&sender->stop) == 0) {
    const int64_t now = NowMs();
    if (connection == nullptr && now >= nextConnect) {
      if (PipeConnect(&connection, &detail) == PipeStatus::kOk) {
        sender->schedule.Lost();  // A new server shows nothing of ours yet.
        lastWrite = now;
      } else {
        connection = nullptr;
        nextConnect = now + kRetryMs;
      }
    }
    TakeFrames(sender);
    const ScheduleStep step = sender->schedule.Next(now, connection != nullptr);
    const bool probe = !step.write && connection != nullptr && now - lastWrite >= kProbeMs;
    if (step.write || probe) {
      lastWrite = now;
      const bool ok = probe ? PipeWrite(connection, "", 0, &detail) == PipeStatus::kOk
                            : WriteLamps(connection, step.bits);
      if (ok && step.write) sender->schedule.Written(now, step.bits);
      if (!ok) {  // The server went away: try again at once, then every second.
        PipeDisconnect(connection);
        connection = nullptr;
        sender->schedule.Lost();
      }
      continue;  // The schedule decides when the next line may go.
    }
    int64_t wakeAt = step.wakeAt;
    if (connection == nullptr && nextConnect < wakeAt) wakeAt = nextConnect;
    if (connection != nullptr && lastWrite + kProbeMs < wakeAt) wakeAt = lastWrite + kProbeMs;
    int64_t wait = wakeAt == kNever ? kLongWaitMs : std::min<int64_t>(wakeAt - NowMs(), kLongWaitMs);
    if (wait <= 0) continue;
    if (sender->schedule.Rendering() && wait > kPollMs) {
      // Frames are coming: look again soon rather than have Render signal.
      wait = kPollMs;
    } else {
      InterlockedExchange(&sender->sleeping, 1);
      if (Load(&sender->written) != sender->taken) {  // A frame came meanwhile.
        InterlockedExchange(&sender->sleeping, 0);
        continue;
      }
    }
    WaitForSingleObject(sender->wake, DWORD(wait));
    InterlockedExchange(&sender->sleeping, 0);
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
  // The thread's own reference to this DLL: LoadLibrary of its own path
  // (GetModuleHandleEx would do it in one call, but only from XP on).
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(PluginInstance, path, sizeof path);
  HMODULE self = length > 0 && length < sizeof path ? LoadLibraryA(path) : nullptr;
  if (sender->wake == nullptr || self == nullptr) {
    if (self != nullptr) FreeLibrary(self);
    delete sender;
    return nullptr;
  }
  HANDLE thread = CreateThread(nullptr, 0, SenderThread, sender, 0, nullptr);
  if (thread == nullptr) {
    FreeLibrary(self);
    delete sender;
    return nullptr;
  }
  CloseHandle(thread);  // Quit waits for the thread to drop its count, not on the handle.
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

void VIS_CDECL ModuleQuit(winampVisModule* module);

int VIS_CDECL ModuleInit(winampVisModule* module) {
  if (module->userData != nullptr) ModuleQuit(module);  // Init twice: the first run ends.
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
  HandOver(state->sender, now, lamps.bits, off);
  return 0;
}

void VIS_CDECL ModuleQuit(winampVisModule* module) {
  ModuleState* state = static_cast<ModuleState*>(module->userData);
  if (state == nullptr) return;
  module->userData = nullptr;
  Sender* sender = state->sender;
  InterlockedExchange(&sender->stop, 1);
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
