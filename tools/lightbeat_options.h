// lightbeat's command line: platform-free, so that it is unit-tested on
// every build.
#pragma once
#include <string>
#include <vector>

#include "music/lamp_styles.h"
#include "tools/beat_publish.h"
#include "tools/parse_outcome.h"

// What a run prints instead of driving the lamps (all need --file).
enum class LightbeatReport { kNone, kOnsets, kBeats, kLines };

struct LightbeatOptions {
  std::string source;        // --source NAME; empty: what the default output plays.
  bool listSources = false;  // --list-sources.
  std::string file;          // --file PATH instead of a live source.
  bool realtime = false;     // --realtime: a file at playing speed.
  int mode = 5;              // --mode 3|5: one-bank or two-bank commands.
  double rate = 50;          // --rate HZ: at most this many lines a second.
  int delayMs = 0;           // --delay MS: lights this much later than the sound.
  int leadMs = -1;           // --lead auto|MS: beats fired this early; -1: auto.
  music::Style style = music::Style::kSpectrum;  // --style NAME.
  int holdMs = 50;           // --hold MS: minimum on and off time per lamp.
  bool quiet = false;        // --quiet: no status line.
  LightbeatReport report = LightbeatReport::kNone;
  // Other lighting programs: port 0 where not asked for.
  PublishTarget osc;        // --osc HOST:PORT.
  PublishTarget wledSync;   // --wled-sync [ADDRESS[:PORT]].
  PublishTarget os2l;       // --os2l HOST[:PORT].
};

// Reads the arguments (without the program name). On kUsageError, error
// says what is wrong in one line.
ParseOutcome ParseLightbeatArguments(const std::vector<std::string>& args,
                                       LightbeatOptions* options, std::string* error);

// The text that --help prints.
const char* LightbeatHelp();
