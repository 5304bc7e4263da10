// lightsend: sends light commands to the pipe server, from the command line,
// from standard input or as a pattern. See LightsendHelp() for the usage.
//
// stdio and the clients' platform layer only (no iostream, no std::thread):
// they would make the Windows program many times its size.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "client/platform.h"
#include "pipe/pipe_client.h"
#include "pipe/pipe_name.h"
#include "tools/lightsend_options.h"
#include "tools/lightsend_patterns.h"

namespace {

// The pipe has one instance: while another client holds it, or the server
// has not yet let the last one go, try again for a while before giving up.
constexpr int kBusyWaitMs = 3000;

PipeConnection* Connection = nullptr;

// Sleeps until the deadline (MonotonicSeconds), in short slices so that
// Ctrl-C ends it soon.
void PauseUntil(double deadline) {
  while (!Interrupted()) {
    const double left = deadline - MonotonicSeconds();
    if (left <= 0) return;
    SleepSeconds(std::min(left, 0.01));
  }
}

// One line of standard input without its line feed; false at the end. A
// last line without a line feed still counts.
bool ReadLine(std::string* line) {
  line->clear();
  for (int c; (c = std::getchar()) != EOF;) {
    if (c == '\n') return true;
    line->push_back(char(c));
  }
  return !line->empty();
}

// Reads every line of standard input and checks them all before anything
// is sent. Returns false (after saying why) when one would be dropped.
bool ReadStdinLines(std::vector<std::string>* lines) {
  std::string line;
  for (int number = 1; ReadLine(&line); ++number) {
    line = StripLineEnd(line);
    const std::string problem = LineProblem(line);
    if (!problem.empty()) {
      std::fprintf(stderr, "lightsend: line %d of standard input, \"%s\", %s\n", number,
                   line.c_str(), problem.c_str());
      return false;
    }
    lines->push_back(line);
  }
  return true;
}

void Say(PipeStatus status, const std::string& detail) {
  std::fprintf(stderr, "lightsend: %s\n", PipeStatusText(status, PipeDisplayName(), detail).c_str());
}

// Sends one line with its line feed in a single write; false after saying
// why when it could not.
bool SendLine(const std::string& line) {
  std::string detail;
  const std::string bytes = line + "\n";
  const PipeStatus status = PipeWrite(Connection, bytes.data(), bytes.size(), &detail);
  if (status == PipeStatus::kOk) return true;
  Say(status, detail);
  return false;
}

bool SendLines(const std::vector<std::string>& lines, int delayMs) {
  for (size_t i = 0; i < lines.size() && !Interrupted(); ++i) {
    if (i > 0) PauseUntil(MonotonicSeconds() + delayMs / 1000.0);
    if (!Interrupted() && !SendLine(lines[i])) return false;
  }
  return true;
}

// Steps are timed from the start, so a slow write does not slow the pattern.
bool PlayPattern(const LightsendOptions& options) {
  const double start = MonotonicSeconds();
  const double total = options.seconds * options.rate;
  for (unsigned long step = 0; options.seconds < 0 || step < total; ++step) {
    PauseUntil(start + step / options.rate);
    if (Interrupted()) break;
    if (!SendLine(PatternLine(options.pattern, options.mode, step))) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  LightsendOptions options;
  if (const int code = ParseCommandLine(argc, argv, ParseLightsendArguments, "lightsend",
                                        LightsendHelp(), &options);
      code >= 0)
    return code;
  if (options.fromStdin && !ReadStdinLines(&options.lines)) return 2;

  InstallInterruptHandler();
  std::string detail;
  const PipeStatus status = PipeConnectRetrying(PIPE_NAME, kBusyWaitMs, false, &Connection, &detail);
  if (status != PipeStatus::kOk) {
    Say(status, detail);
    return 1;
  }
  const bool sent = options.pattern.empty() ? SendLines(options.lines, options.delayMs)
                                            : PlayPattern(options);
  PipeDisconnect(Connection);
  return sent ? 0 : 1;
}
