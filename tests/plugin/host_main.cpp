// plugin_host: a player of our own for vis_vantrelle.dll. With no command
// it runs its tests (GoogleTest); "bench" measures Render and how closely
// the program's lamps follow; "show" plays music into the spectrum module
// for a picture of the program's window.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "host_lamps.h"
#include "plugin/lamp_feed.h"
#include "vis_host.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: plugin_host [GoogleTest options]   run the tests\n"
               "       plugin_host bench [SECONDS]        Render's time and the lamps' lag\n"
               "       plugin_host show OUT.ppm [SECONDS] music into the spectrum module, then\n"
               "                                          the program's window as a picture\n"
               "VIS_DLL names the plug-in, PIPESERVER_EXE the program (Unix or Windows paths).\n");
  return 2;
}

int Fail(const char* message) {
  std::fprintf(stderr, "plugin_host: %s\n", message);
  return 1;
}

void PrintTimes(const char* what, const RenderTimes& t) {
  size_t over = 0;  // Calls over 0.3 ms: the goal is none.
  for (double us : t) over += us > 300;
  std::printf("%-44s %7zu %9.1f %9.1f %9.1f %6zu\n", what, t.size(), Percentile(t, 50),
              Percentile(t, 99), Percentile(t, 100), over);
}

// The analysis alone, in this process: what Render cannot be faster than.
RenderTimes ReferenceTimes(int frames) {
  plugin::LampFeed feed(music::Style::kMeter, 0.05, 44100);
  winampVisModule module = {};
  module.spectrumNch = module.waveformNch = 2;
  std::vector<float> history(2 * 4096);
  RenderTimes times;
  for (int f = 0; f < frames; ++f) {
    for (size_t i = 0; i < 4096; ++i)
      history[2 * i] = history[2 * i + 1] =
          (f / 25) % 2 ? float(0.5 * std::sin(2 * 3.14159265 * 440 * (f * 882 + i) / 44100.0)) : 0;
    ComputePlayerData(history.data(), 4096, &module);
    const double before = MonotonicSeconds();
    feed.Next(module, f * 0.02);
    times.push_back((MonotonicSeconds() - before) * 1e6);
  }
  return times;
}

// Toggles the signal between a tone and silence every 500 ms for seconds;
// with a window, measures from the first Render of each change to the
// screen showing it. Returns the lags in ms.
std::vector<double> Toggle(PlayerThread& player, HWND window, double seconds) {
  std::vector<double> lags;
  const int toggles = int(seconds * 2);
  for (int i = 0; i < toggles; ++i) {
    const bool on = i % 2 == 0;
    player.Play(on ? Signal::kBoth : Signal::kSilence);
    const double start = MonotonicSeconds();
    bool seen = false;
    while (MonotonicSeconds() - start < 0.5) {
      if (window != nullptr && !seen) {
        const unsigned lamps = ReadLamps(CaptureClient(window));
        const double shownAt = MonotonicSeconds();
        if (on ? lamps != 0 : lamps == 0) {
          const double rendered = player.FirstRenderOfSignal();
          if (rendered != 0) {
            lags.push_back((shownAt - rendered) * 1000);
            seen = true;
          }
        }
      } else {
        Sleep(10);
      }
    }
  }
  return lags;
}

int Bench(double seconds) {
  VisDll dll(PluginPath());
  if (!dll.loaded() || dll.modules().size() < 2) return Fail("cannot load the plug-in (VIS_DLL)");
  winampVisModule* meter = dll.modules()[1];
  std::printf("Render of the meter module, 44.1 kHz stereo, every %d ms, %.0f s per case;\n"
              "a tone and silence take turns every 500 ms. Microseconds:\n\n", meter->delayMs, seconds);
  std::printf("%-44s %7s %9s %9s %9s %6s\n", "case", "calls", "median", "p99", "max", ">0.3ms");
  PrintTimes("reference: the analysis alone (no DLL)", ReferenceTimes(int(seconds * 50)));
  dll.LongestAnalysisMicros();  // From here on.

  std::vector<double> lags;
  {
    Server server("");
    HWND window = server.WaitForWindow(30000);  // A loaded machine can take long.
    if (window == nullptr) return Fail("pipeserver.exe showed no window (PIPESERVER_EXE)");
    PlayerThread player(meter);
    if (!player.Start()) return Fail("Init failed");
    Sleep(300);
    lags = Toggle(player, window, seconds);
    player.Quit();
    PrintTimes("pipeserver.exe running", player.Times());
    std::printf("%-44s %7s %9s %9s %9ld\n", "  the analysis on the sender thread, same run", "", "", "",
                dll.LongestAnalysisMicros());
  }
  {
    PlayerThread player(meter);
    if (!player.Start()) return Fail("Init failed");
    Toggle(player, nullptr, seconds);
    player.Quit();
    PrintTimes("no program (connects again every second)", player.Times());
  }
  double quitMs = 0;
  {
    StallingServer stall;
    PlayerThread player(meter);
    if (!player.Start()) return Fail("Init failed");
    Toggle(player, nullptr, seconds);
    player.Quit();
    quitMs = player.QuitMillis();
    PrintTimes("a server that never reads (writes block)", player.Times());
  }
  std::printf("\nQuit with the sender blocked in a write: %.0f ms (bound 1500 ms)\n", quitMs);
  std::printf("Lamps on pipeserver.exe's screen after the first Render of a change "
              "(screen polled): %zu of %d changes seen, median %.0f ms, p95 %.0f ms, max %.0f ms\n",
              lags.size(), int(seconds * 2), Percentile(lags, 50), Percentile(lags, 95),
              Percentile(lags, 100));
  return 0;
}

int Show(const char* path, double seconds) {
  VisDll dll(PluginPath());
  if (!dll.loaded()) return Fail("cannot load the plug-in (VIS_DLL)");
  Server server("");
  HWND window = server.WaitForWindow(10000);
  if (window == nullptr) return Fail("pipeserver.exe showed no window (PIPESERVER_EXE)");
  PlayerThread player(dll.modules()[0]);
  if (!player.Start()) return Fail("Init failed");
  player.Play(Signal::kMusic);
  const double start = MonotonicSeconds();
  unsigned last = 0x10000;
  int changes = 0;
  Pixels shown;
  while (MonotonicSeconds() - start < seconds) {
    shown = CaptureClient(window);
    const unsigned lamps = ReadLamps(shown);
    if (lamps != last) ++changes;
    last = lamps;
    Sleep(20);
  }
  // A picture with lamps lit, taken on a beat when one comes soon.
  for (int i = 0; i < 100 && ReadLamps(shown) == 0; ++i) {
    Sleep(10);
    shown = CaptureClient(window);
  }
  player.Quit();
  std::printf("%s: %d lamp changes seen in %.0f s; the picture shows %s\n", dll.modules()[0]->description,
              changes, seconds, LampText(ReadLamps(shown)).c_str());
  return WritePpm(shown, path) ? 0 : Fail("cannot write the picture");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "bench") == 0)
    return argc > 3 ? Usage() : Bench(argc == 3 ? std::atof(argv[2]) : 10);
  if (argc > 1 && std::strcmp(argv[1], "show") == 0)
    return argc < 3 || argc > 4 ? Usage() : Show(argv[2], argc == 4 ? std::atof(argv[3]) : 6);
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    Usage();
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
