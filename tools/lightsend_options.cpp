#include "tools/lightsend_options.h"

#include "protocol/light_line.h"
#include "protocol/option_number.h"
#include "tools/lightsend_patterns.h"

ParseOutcome ParseLightsendArguments(const std::vector<std::string>& args,
                                     LightsendOptions* options, std::string* error) {
  auto fail = [error](const std::string& why) {
    *error = why;
    return ParseOutcome::kUsageError;
  };
  bool rateGiven = false, secondsGiven = false, modeGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") return ParseOutcome::kHelp;
    if (arg == "-") {
      options->fromStdin = true;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-') {  // A line to send; checked later.
      options->lines.push_back(arg);
      continue;
    }
    if (arg != "--pattern" && arg != "--rate" && arg != "--seconds" && arg != "--mode" &&
        arg != "--delay")
      return fail("unknown option " + arg);
    if (i + 1 == args.size()) return fail(arg + " needs a value");
    const std::string& value = args[++i];
    double number = 0;
    std::string why;
    const auto read = [&](const char* what, const OptionRange& range) {
      return ReadOptionNumber(arg, value, what, range, &number, &why);
    };
    if (arg == "--pattern") {
      if (!IsKnownPattern(value))
        return fail("unknown pattern " + value + " (chaser, bounce, counter, random, blink)");
      options->pattern = value;
    } else if (arg == "--rate") {
      if (!read("a number of steps per second", {0, 1000, false})) return fail(why);
      options->rate = number;
      rateGiven = true;
    } else if (arg == "--seconds") {
      if (!read("a number of seconds", {0, 1e7})) return fail(why);
      options->seconds = number;
      secondsGiven = true;
    } else if (arg == "--mode") {
      if (!ReadModeOption(arg, value, &options->mode, &why)) return fail(why);
      modeGiven = true;
    } else {  // --delay
      if (!read("milliseconds", {0, 60000, true, true})) return fail(why);
      options->delayMs = int(number);
    }
  }

  const int sources = !options->lines.empty() + options->fromStdin + !options->pattern.empty();
  if (sources == 0) return fail("nothing to send: give lines, - or --pattern NAME");
  if (sources > 1) return fail("give lines, - or --pattern NAME, only one of them");
  if (options->pattern.empty() && (rateGiven || secondsGiven || modeGiven))
    return fail("--rate, --seconds and --mode go with --pattern");
  for (const std::string& line : options->lines) {
    const std::string problem = LineProblem(line);
    if (!problem.empty()) return fail("\"" + line + "\" " + problem);
  }
  return ParseOutcome::kRun;
}

std::string LineProblem(const std::string& line) {
  if (line.find('\n') != std::string::npos) return "contains a line feed";
  if (line.empty() || line[0] != '>') return "does not start with '>'";
  if (line.size() > kMaxLineLength) return "is longer than 8 characters: the server would drop it";
  return "";
}

std::string StripLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

const char* LightsendHelp() {
  return
      "Usage: lightsend [--delay MS] LINE...\n"
      "       lightsend [--delay MS] -\n"
      "       lightsend --pattern NAME [--rate HZ] [--seconds N] [--mode 3|5]\n"
      "\n"
      "Sends light commands to the pipe server, one line per write.\n"
      "\n"
      "  LINE...          send each argument as one line, e.g. \">5L1234\" \">5L0\"\n"
      "  -                send the lines of standard input\n"
      "  --delay MS       pause between lines (default 20); lines sent closer\n"
      "                   together than the server reads them are lost\n"
      "  --pattern NAME   play a pattern: chaser, bounce, counter, random, blink\n"
      "  --rate HZ        pattern steps per second (default 20)\n"
      "  --seconds N      play for N seconds (default: until Ctrl-C)\n"
      "  --mode 3|5       one-bank (>3L) or two-bank (>5L) commands (default 5)\n"
      "  --help           show this text\n"
      "\n"
      "A line is '>' and at most 7 more characters; for example >5L8001 lights\n"
      "the leftmost lamp of the second row and the rightmost of the first.\n"
      "Every line is checked before anything is sent. A server busy with\n"
      "another client is tried again for 3 seconds.\n"
      "\n"
      "Exit status: 0 sent, 1 no server, busy or it went away, 2 usage error.\n";
}
