// A stand-in for the media player: loads a visualization DLL as the player
// does and plays a generated signal into one of its modules, computing
// spectrumData and waveformData as the player does, on a render thread of
// its own (Init, Render every delayMs, Quit, all on that thread).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "plugin/vis_module.h"
#include "test_threads.h"

// A plug-in DLL: LoadLibrary, winampVisGetHeader, getModule(i) until null.
class VisDll {
 public:
  explicit VisDll(const std::string& path);
  ~VisDll();
  VisDll(const VisDll&) = delete;
  VisDll& operator=(const VisDll&) = delete;

  bool loaded() const { return header_ != nullptr; }
  winampVisHeader* header() const { return header_; }
  const std::vector<winampVisModule*>& modules() const { return modules_; }
  // The plug-in's longest analysis of one frame on its sender thread since
  // the last call, in microseconds; -1 when the DLL does not tell.
  long LongestAnalysisMicros() const;
  // Never unloads: for a test whose call into the DLL has not returned.
  void KeepLoaded() { library_ = nullptr; }

 private:
  HMODULE library_ = nullptr;
  winampVisHeader* header_ = nullptr;
  std::vector<winampVisModule*> modules_;
};

// What the player plays.
enum class Signal {
  kSilence,
  kBoth,   // A 440 Hz sine at -6 dBFS in both channels.
  kLeft,   // The same in the left channel only.
  kRight,
  kMusic,  // A chord with a kick drum at 120 BPM, for pictures.
};

// The player's data from the newest samples: a 512-point FFT of the last
// 1024 samples (Hann window), linear magnitude scaled so that a full-scale
// sine gives 255, for values 0 to 511 (index i near i * rate / 1024 Hz; the
// rest 0); the last 576 samples as signed 8-bit. history holds at least
// 1024 samples per channel, interleaved stereo, newest last.
void ComputePlayerData(const float* history, size_t frames, winampVisModule* module);

using RenderTimes = std::vector<double>;  // Every Render's duration, in microseconds.
// The p-th percentile (0 to 100, nearest rank) of values; 0 for none.
double Percentile(std::vector<double> values, double p);

class PlayerThread {
 public:
  PlayerThread(winampVisModule* module, int sampleRate = 44100);
  ~PlayerThread();  // Quits when still running.
  PlayerThread(const PlayerThread&) = delete;
  PlayerThread& operator=(const PlayerThread&) = delete;

  // Starts the thread, which calls Init; true when Init returned 0.
  bool Start();
  void Play(Signal signal);  // Renders (again) with this signal.
  void Pause();              // No Render until Play.
  void Stop();               // One Render with zeroed data, then none until Play.
  // Quit on the render thread; the thread's end, or false after ms.
  bool Quit(DWORD ms = 10000);
  // The Render durations so far (a copy, taken while the thread waits).
  RenderTimes Times();
  // MonotonicSeconds at the first Render with the signal set by the last
  // Play, or 0 while none has come.
  double FirstRenderOfSignal();
  // Milliseconds the last Quit call took inside the plug-in.
  double QuitMillis() const { return quitMillis_; }

 private:
  static DWORD WINAPI Main(void* self);
  void Loop();
  void Order(int command);  // Sets command_.

  winampVisModule* module_;
  int rate_;
  HANDLE thread_ = nullptr;
  TestSignal initDone_;
  int initResult_ = -1;
  // The render thread's orders and what it tells back, under lock_.
  TestLock lock_;
  int command_ = 0;  // Command in vis_host.cpp.
  Signal signal_ = Signal::kSilence;
  long generation_ = 0;  // Bumped by Play.
  double firstRender_ = 0;
  RenderTimes times_;
  double quitMillis_ = 0;
};
