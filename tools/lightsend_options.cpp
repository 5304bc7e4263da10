#include "tools/lightsend_options.h"

#include <cerrno>
#include <cstdlib>

#include "tools/lightsend_patterns.h"

namespace {

// Reads a whole argument as a number; false when anything else is in it.
bool ReadNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtod(text.c_str(), &end);
  return errno == 0 && *end == '\0';
}

bool ReadInteger(const std::string& text, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

}  // namespace

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
    long integer = 0;
    if (arg == "--pattern") {
      if (!IsKnownPattern(value))
        return fail("unknown pattern " + value + " (chaser, bounce, counter, random, blink)");
      options->pattern = value;
    } else if (arg == "--rate") {
      if (!ReadNumber(value, &number) || number <= 0 || number > 1000)
        return fail("--rate takes a number of steps per second, above 0 and at most 1000");
      options->rate = number;
      rateGiven = true;
    } else if (arg == "--seconds") {
      if (!ReadNumber(value, &number) || number < 0 || number > 1e7)
        return fail("--seconds takes a number of seconds, 0 or more");
      options->seconds = number;
      secondsGiven = true;
    } else if (arg == "--mode") {
      if (!ReadInteger(value, &integer) || (integer != 3 && integer != 5))
        return fail("--mode takes 3 (one bank) or 5 (two banks)");
      options->mode = int(integer);
      modeGiven = true;
    } else {  // --delay
      if (!ReadInteger(value, &integer) || integer < 0 || integer > 60000)
        return fail("--delay takes milliseconds, 0 to 60000");
      options->delayMs = int(integer);
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
  if (line.size() > 8) return "is longer than 8 characters: the server would drop it";
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
