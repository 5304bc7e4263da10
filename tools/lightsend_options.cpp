#include "tools/lightsend_options.h"

#include <cstdlib>
#include <cstring>

#include "protocol/option_number.h"
#include "tools/lightsend_patterns.h"

LineList::~LineList() { std::free(lines_); }

bool LineList::Add(const char* line, size_t length) {
  if (size_ == capacity_) {
    const size_t capacity = capacity_ == 0 ? 16 : 2 * capacity_;
    void* grown = std::realloc(lines_, capacity * sizeof(Line));
    if (grown == nullptr) return false;
    lines_ = static_cast<Line*>(grown);
    capacity_ = capacity;
  }
  Line& added = lines_[size_++];
  std::memcpy(added.text, line, length);
  added.text[length] = '\0';
  added.length = static_cast<unsigned char>(length);
  return true;
}

ParseOutcome ParseLightsendArguments(int count, const char* const* args,
                                     LightsendOptions* options, ShortText* error) {
  auto fail = [error](const char* why, const char* more = "", const char* after = "") {
    error->Set(why);
    error->Add(more).Add(after);
    return ParseOutcome::kUsageError;
  };
  // Lines are checked after the options, so that a wrong option is told
  // first; the first line the server would drop is kept for then.
  const char* badLine = nullptr;
  const char* badLineProblem = nullptr;
  bool rateGiven = false, secondsGiven = false, modeGiven = false;
  for (int i = 0; i < count; ++i) {
    const char* arg = args[i];
    const auto is = [arg](const char* name) { return std::strcmp(arg, name) == 0; };
    if (is("--help") || is("-h")) return ParseOutcome::kHelp;
    if (is("--version")) return ParseOutcome::kVersion;
    if (is("-")) {
      options->fromStdin = true;
      continue;
    }
    if (arg[0] != '-' || arg[1] == '\0') {  // A line to send.
      const size_t length = std::strlen(arg);
      const char* problem = LineProblem(arg, length);
      if (problem == nullptr && !options->lines.Add(arg, length)) return fail("out of memory");
      if (problem != nullptr && badLine == nullptr) {
        badLine = arg;
        badLineProblem = problem;
      }
      continue;
    }
    if (!is("--pattern") && !is("--rate") && !is("--seconds") && !is("--mode") && !is("--delay"))
      return fail("unknown option ", arg);
    if (i + 1 == count) return fail(arg, " needs a value");
    const char* value = args[++i];
    double number = 0;
    const auto read = [&](const char* what, const OptionRange& range) {
      return ReadOptionNumber(arg, value, what, range, &number, error);
    };
    if (is("--pattern")) {
      if (!IsKnownPattern(value))
        return fail("unknown pattern ", value, " (chaser, bounce, counter, random, blink)");
      options->pattern = value;
    } else if (is("--rate")) {
      if (!read("a number of steps per second", {0, 1000, false})) return ParseOutcome::kUsageError;
      options->rate = number;
      rateGiven = true;
    } else if (is("--seconds")) {
      if (!read("a number of seconds", {0, 1e7})) return ParseOutcome::kUsageError;
      options->seconds = number;
      secondsGiven = true;
    } else if (is("--mode")) {
      if (!ReadModeOption(arg, value, &options->mode, error)) return ParseOutcome::kUsageError;
      modeGiven = true;
    } else {  // --delay
      if (!read("milliseconds", {0, 60000, true, true})) return ParseOutcome::kUsageError;
      options->delayMs = int(number);
    }
  }

  const bool lines = !options->lines.empty() || badLine != nullptr;
  const int sources = lines + options->fromStdin + (options->pattern != nullptr);
  if (sources == 0) return fail("nothing to send: give lines, - or --pattern NAME");
  if (sources > 1) return fail("give lines, - or --pattern NAME, only one of them");
  if (options->pattern == nullptr && (rateGiven || secondsGiven || modeGiven))
    return fail("--rate, --seconds and --mode go with --pattern");
  if (badLine != nullptr) {
    error->Clear();
    error->AddQuoted(badLine, std::strlen(badLine)).Add(" ").Add(badLineProblem);
    return ParseOutcome::kUsageError;
  }
  return ParseOutcome::kRun;
}

const char* LineProblem(const char* line, size_t length) {
  if (std::memchr(line, '\n', length) != nullptr) return "contains a line feed";
  if (length == 0 || line[0] != '>') return "does not start with '>'";
  if (length > kMaxLineLength) return "is longer than 8 characters: the server would drop it";
  return nullptr;
}

size_t StripLineEnd(char* line, size_t length) {
  if (length > 0 && line[length - 1] == '\n') --length;
  if (length > 0 && line[length - 1] == '\r') --length;
  line[length] = '\0';
  return length;
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
      "  --version        show the version and the licence\n"
      "\n"
      "A line is '>' and at most 7 more characters; for example >5L8001 lights\n"
      "the leftmost lamp of the second row and the rightmost of the first.\n"
      "Every line is checked before anything is sent. A server busy with\n"
      "another client is tried again for 3 seconds. Lines given stay lit; a\n"
      "pattern turns every lamp off when it ends (--seconds or Ctrl-C), as\n"
      "lightbeat does.\n"
      "\n"
      "Exit status: 0 sent, 1 no server, busy or it went away, 2 usage error.\n";
}
