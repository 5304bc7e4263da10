#include "tools/lightbeat_options.h"

#include "protocol/option_number.h"

namespace {

bool TakesValue(const std::string& option) {
  return option == "--source" || option == "--file" || option == "--mode" ||
         option == "--rate" || option == "--delay" || option == "--style" ||
         option == "--hold" || option == "--lead" || option == "--osc" ||
         option == "--os2l";
}

}  // namespace

ParseOutcome ParseLightbeatArguments(const std::vector<std::string>& args,
                                       LightbeatOptions* options, std::string* error) {
  auto fail = [error](const std::string& why) {
    *error = why;
    return ParseOutcome::kUsageError;
  };
  bool sourceGiven = false;
  int reports = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string option = args[i];
    std::string value;
    bool inlineValue = false;
    const size_t equals = option.find('=');
    if (option.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
      inlineValue = true;
    }
    if (option == "--help" || option == "-h") return ParseOutcome::kHelp;
    if (option == "--version") return ParseOutcome::kVersion;
    // An optional value: given inline, or as the next argument unless that
    // is an option.
    const bool optionalValue = option == "--wled-sync";
    if (optionalValue) {
      if (!inlineValue && i + 1 < args.size() && args[i + 1].compare(0, 1, "-") != 0) value = args[++i];
    } else if (TakesValue(option)) {
      if (!inlineValue) {
        if (i + 1 == args.size()) return fail(option + " needs a value");
        value = args[++i];
      }
    } else if (inlineValue) {
      return fail(option + " takes no value");
    }

    double number = 0;
    std::string why;
    const auto read = [&](const char* what, const OptionRange& range) {
      return ReadOptionNumber(option, value, what, range, &number, &why);
    };
    if (option == "--source") {
      if (value.empty()) return fail("--source needs a source's name (see --list-sources)");
      options->source = value;
      sourceGiven = true;
    } else if (option == "--list-sources") {
      options->listSources = true;
    } else if (option == "--file") {
      if (value.empty()) return fail("--file needs a file's path");
      options->file = value;
    } else if (option == "--realtime") {
      options->realtime = true;
    } else if (option == "--mode") {
      if (!ReadModeOption(option, value, &options->mode, &why)) return fail(why);
    } else if (option == "--rate") {
      if (!read("lines per second", {1, 1000})) return fail(why);
      options->rate = number;
    } else if (option == "--delay") {
      if (!read("milliseconds", {0, 5000, true, true})) return fail(why);
      options->delayMs = int(number);
    } else if (option == "--lead") {
      if (value == "auto") {
        options->leadMs = -1;
      } else {
        if (!read("auto or milliseconds", {0, 200, true, true})) return fail(why);
        options->leadMs = int(number);
      }
    } else if (option == "--style") {
      if (!music::ParseStyle(value.c_str(), &options->style))
        return fail("unknown style " + value + " (spectrum, meter, beat, pulse, bass)");
    } else if (option == "--hold") {
      if (!read("milliseconds", {0, 2000, true, true})) return fail(why);
      options->holdMs = int(number);
    } else if (option == "--osc") {
      if (!ParsePublishTarget(option, value, 0, &options->osc, &why)) return fail(why);
    } else if (option == "--os2l") {
      if (!ParsePublishTarget(option, value, os2l::kPort, &options->os2l, &why)) return fail(why);
    } else if (option == "--wled-sync") {
      if (value.empty() && inlineValue) return fail("--wled-sync= needs an address");
      if (!ParsePublishTarget(option, value.empty() ? wled::kGroup : value, wled::kPort,
                              &options->wledSync, &why))
        return fail(why);
    } else if (option == "--quiet" || option == "-q") {
      options->quiet = true;
    } else if (option == "--onsets" || option == "--beats" || option == "--lines") {
      options->report = option == "--onsets" ? LightbeatReport::kOnsets
                        : option == "--beats" ? LightbeatReport::kBeats
                                              : LightbeatReport::kLines;
      ++reports;
    } else if (option.size() > 1 && option[0] == '-') {
      return fail("unknown option " + option);
    } else {
      return fail("unexpected argument " + option + " (a file goes after --file)");
    }
  }

  if (reports > 1) return fail("--onsets, --beats and --lines exclude each other");
  if (reports == 1 && options->file.empty())
    return fail("--onsets, --beats and --lines need --file");
  if (options->realtime && options->file.empty()) return fail("--realtime needs --file");
  if (sourceGiven && !options->file.empty()) return fail("--source and --file exclude each other");
  const bool publishing = options->osc.port != 0 || options->wledSync.port != 0 || options->os2l.port != 0;
  if (publishing && reports > 0)
    return fail("--onsets, --beats and --lines send nothing: no --osc, --wled-sync or --os2l");
  if (options->listSources && (sourceGiven || !options->file.empty() || reports > 0))
    return fail("--list-sources goes alone");
  return ParseOutcome::kRun;
}

const char* LightbeatHelp() {
  return
      "Usage: lightbeat [OPTION]...\n"
      "Makes the pipe server's lamps follow the music: captures what this computer\n"
      "plays (or a source, or a file), analyses it and sends light commands.\n"
      "\n"
      "Input:\n"
      "  --source NAME    capture this source instead of what the default output\n"
      "                   plays (a microphone, another output's monitor)\n"
      "  --list-sources   list the sources' names and exit\n"
      "  --file PATH      analyse a sound file (WAV, FLAC, OGG; on Windows WAV)\n"
      "  --realtime       with --file: at playing speed (else as fast as it can)\n"
      "\n"
      "Lamps:\n"
      "  --style NAME     spectrum (default), meter, beat, pulse or bass\n"
      "  --hold MS        minimum on and off time of each lamp (default 50)\n"
      "  --delay MS       light the lamps this much later, for speakers that lag\n"
      "                   (default 0, at most 5000)\n"
      "  --lead auto|MS   fire predicted beats this early, once the beat is steady\n"
      "                   (default auto: the capture piece's and the analysis step's\n"
      "                   delays, about 10 ms; MS at most 200)\n"
      "  --mode 3|5       one-bank (>3L) or two-bank (>5L, default) commands\n"
      "  --rate HZ        at most this many lines a second (default 50)\n"
      "\n"
      "Other lighting programs (beside the lamps, or with no pipe server):\n"
      "  --osc HOST:PORT  OSC over UDP, in bundles:\n"
      "                     /lightbeat/beat i    beats counted from 1, on each beat\n"
      "                     /lightbeat/tempo f   BPM, with each beat once known\n"
      "                     /lightbeat/onset i   onsets counted from 1, on each onset\n"
      "                     /lightbeat/band/1../lightbeat/band/16 f  0 to 1, lowest\n"
      "                                          first, --rate times a second\n"
      "                     /lightbeat/level f   dBFS, the louder channel, the same\n"
      "                     /lightbeat/lamps i   the lamps' bits (lamp 1: 1), the same\n"
      "  --wled-sync [ADDRESS[:PORT]]\n"
      "                   WLED's audio sync (version 2, 45 packets a second) to a\n"
      "                   group, a broadcast address or a strip (default\n"
      "                   239.0.0.1:11988): its 16 bands, level and peak flag\n"
      "                   (on onsets) from the analysis\n"
      "  --os2l HOST[:PORT]\n"
      "                   OS2L over TCP to a lighting program (QLC+; default port\n"
      "                   9996): on each beat one JSON object, {\"evt\":\"beat\",\n"
      "                   \"change\":false,\"pos\":N,\"bpm\":B,\"strength\":S}, pos\n"
      "                   counted from 1, strength the loudness 0 to 1\n"
      "  All go out as the lamps' lines do (beats with --lead, all with --delay);\n"
      "  a fault is said once and retried (reconnected) every second. No socket\n"
      "  listens.\n"
      "\n"
      "Output:\n"
      "  -q, --quiet      no status line (there is none when output is not a terminal)\n"
      "  --onsets         with --file, no server: print each onset's time (s), exit\n"
      "  --beats          the same for the beats\n"
      "  --lines          the same for every line it would send: SECONDS LINE\n"
      "  -h, --help       this text\n"
      "  --version        the version and the licence\n"
      "\n"
      "Lines go out only when the lamps change. With no server, or when it goes\n"
      "away, lightbeat says so and tries again every second. Ctrl-C or the end\n"
      "of the file turns every lamp off (>5L0000).\n"
      "\n"
      "Exit status: 0 done, 1 neither a server was ever reached nor anything sent\n"
      "by --osc, --wled-sync or --os2l, or the sound could not be read, 2 usage error.\n";
}
