// The DLL the player loads: one module per lamp style. Render only hands
// the player's data over to the sender thread (client/light_link.h), which
// runs the analysis, the schedule and the pipe, so that the player never
// waits on either.
#include "plugin/plugin_win.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "client/light_link.h"
#include "client/platform.h"
#include "plugin/lamp_feed.h"
#include "plugin/vis_module.h"

namespace plugin {

HINSTANCE PluginInstance = nullptr;

namespace {

constexpr double kQuitWaitSeconds = 1.5;  // Quit waits this long for the sender at most.
constexpr double kLineRate = 50;          // One line per Render at most.
// The sender looks for frames every kPollSeconds while they come, and every
// kIdlePollSeconds after a stop or pause: Render never signals it, as under
// Wine an event is a round trip to wineserver, which a busy desktop can make
// take milliseconds. (The lamps go out in 20 ms slots anyway.)
constexpr double kPollSeconds = 0.005;
constexpr double kIdlePollSeconds = 0.02;

// The longest analysis of one frame on a sender thread, in microseconds,
// for the bench (vantrelleLongestAnalysisMicros).
volatile LONG LongestAnalysisMicros = 0;

LONG Load(volatile LONG* value) { return InterlockedCompareExchange(value, 0, 0); }

// Render's frames on their way to the sender thread, and what the thread
// makes of them.
//
// Render hands its data over through a single-producer, single-consumer
// ring with Interlocked indices: no lock, no event, no system call.
class FrameSource : public LampSource {
 public:
  FrameSource(music::Style style, double holdSeconds, int sampleRate, double start)
      : lamps_(style, holdSeconds, sampleRate, start, 1 / kLineRate) {}  // The hold as the lamp shows it.

  // Render's side: never blocks. A full ring drops the frame; the analysis
  // goes on with the next ones (and a pause turns the lamps off).
  void HandOver(const winampVisModule& module, double time) {
    const LONG at = written_;
    if (at - Load(&taken_) >= kRing) return;
    Slot& slot = ring_[at % kRing];
    slot.time = time;
    CopyFrame(module, &slot.frame);
    InterlockedExchange(&written_, at + 1);
  }

  // The sender's side.
  double Pull(double now, LightSchedule* schedule) override {
    for (LONG at = taken_; at != Load(&written_); ++at) {
      const Slot& slot = ring_[at % kRing];
      const double before = MonotonicSeconds();
      try {
        lamps_.Frame(slot.frame, slot.time, schedule);
      } catch (...) {  // Nothing may end the player's process; the frame is lost.
      }
      const LONG micros = LONG((MonotonicSeconds() - before) * 1e6);
      if (micros > Load(&LongestAnalysisMicros)) InterlockedExchange(&LongestAnalysisMicros, micros);
      InterlockedExchange(&taken_, at + 1);  // Room for Render as soon as may be.
    }
    const double next = lamps_.CheckPause(MonotonicSeconds(), schedule);
    return std::min(next, now + (lamps_.Rendering() ? kPollSeconds : kIdlePollSeconds));
  }

 private:
  struct Slot {
    double time;
    PlayerFrame frame;
  };
  static constexpr LONG kRing = 128;  // 2.5 s of frames: only a sender stuck in a write fills it.
  Slot ring_[kRing];
  volatile LONG written_ = 0;   // Frames put in by Render.
  volatile LONG taken_ = 0;     // Frames taken out by the sender.
  PlayerLamps lamps_;           // The sender thread's alone.
};

// What one module keeps between Init and Quit.
struct ModuleState {
  FrameSource* source = nullptr;
  LightSender* sender = nullptr;
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
  module->latencyMs = settings.delayMs;
  ModuleState* state = new (std::nothrow) ModuleState;
  if (state == nullptr) return 1;
  try {  // Nothing may escape into the player.
    state->source = new FrameSource(style, settings.holdMs / 1000.0, module->sRate, MonotonicSeconds());
    state->sender = new LightSender(5, kLineRate, settings.delayMs / 1000.0, state->source);
  } catch (...) {
  }
  if (state->sender == nullptr || !state->sender->Started()) {
    delete state->sender;
    delete state->source;
    delete state;
    return 1;
  }
  module->userData = state;
  return 0;
}

int VIS_CDECL ModuleRender(winampVisModule* module) {
  ModuleState* state = static_cast<ModuleState*>(module->userData);
  if (state == nullptr) return 1;
  state->source->HandOver(*module, MonotonicSeconds());
  return 0;
}

void VIS_CDECL ModuleQuit(winampVisModule* module) {
  ModuleState* state = static_cast<ModuleState*>(module->userData);
  if (state == nullptr) return;
  module->userData = nullptr;
  // Quit: no lamp stays lit. A sender stuck in a write keeps its state
  // (and the DLL, see StartWorker) to the end of the process.
  if (state->sender->Finish(false, kQuitWaitSeconds)) {
    delete state->sender;
    delete state->source;
  }
  delete state;
}

winampVisModule* VIS_CDECL GetModule(int index) {
  if (index < 0 || index >= music::kStyleCount) return nullptr;
  winampVisModule& module = Modules[index];
  if (module.description == nullptr) {
    std::snprintf(ModuleTexts[index], sizeof ModuleTexts[index], "Pipe Server Vantrelle: %s lamps",
                  music::StyleName(ModuleStyle(index)));
    module.description = ModuleTexts[index];
    module.latencyMs = LoadSettings(SettingsPath()).delayMs;  // The lamps' own delay.
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

// For plugin_host bench: the longest analysis of one frame on a sender
// thread since the last call, in microseconds.
extern "C" long VIS_CDECL vantrelleLongestAnalysisMicros() {
  return InterlockedExchange(&plugin::LongestAnalysisMicros, 0);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    plugin::PluginInstance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
