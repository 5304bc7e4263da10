// lightsend: sends light commands to the pipe server, from the command line,
// from standard input or as a pattern. See LightsendHelp() for the usage.
//
// stdio's fputs and getchar and the clients' platform layer only: no
// iostream, std::thread, std::string or printf, which would make the
// Windows program many times its size.
#include <algorithm>
#include <cstdio>
#include <cstring>

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

// One line of standard input without its line feed, its first bytes kept
// (enough to tell what is wrong with a long one) and their count in
// *length; false at the end. A last line without a line feed still counts.
constexpr size_t kKeptBytes = 64;

bool ReadLine(char (&line)[kKeptBytes], size_t* length) {
  *length = 0;
  bool any = false;
  for (int c; (c = std::getchar()) != EOF; any = true) {
    if (c == '\n') {
      any = true;
      break;
    }
    if (*length < sizeof line - 1) line[(*length)++] = char(c);
  }
  line[*length] = '\0';
  return any;
}

void Say(const ShortText& text) {
  std::fputs("lightsend: ", stderr);
  std::fputs(text.c_str(), stderr);
  std::fputs("\n", stderr);
}

// Reads every line of standard input and checks them all before anything
// is sent. Returns false (after saying why) when one would be dropped.
bool ReadStdinLines(LineList* lines) {
  char line[kKeptBytes];
  size_t length = 0;
  for (unsigned long number = 1; ReadLine(line, &length); ++number) {
    length = StripLineEnd(line, length);
    ShortText why;
    if (const char* problem = LineProblem(line, length)) {
      why.Add("line ").AddNumber(number).Add(" of standard input, ").AddQuoted(line, length);
      why.Add(", ").Add(problem);
    } else if (!lines->Add(line, length)) {
      why.Add("out of memory at line ").AddNumber(number).Add(" of standard input");
    }
    if (!why.empty()) {
      Say(why);
      return false;
    }
  }
  return true;
}

void Say(PipeStatus status, const ShortText& detail) {
  Say(PipeStatusText(status, PipeDisplayName(), detail.c_str()));
}

// Sends one line with its line feed in a single write; false after saying
// why when it could not.
bool SendLine(const char* line, size_t length) {
  char bytes[kMaxLineLength + 1];
  std::memcpy(bytes, line, length);
  bytes[length] = '\n';
  ShortText detail;
  const PipeStatus status = PipeWrite(Connection, bytes, length + 1, &detail);
  if (status == PipeStatus::kOk) return true;
  Say(status, detail);
  return false;
}

bool SendLines(const LineList& lines, int delayMs) {
  for (size_t i = 0; i < lines.size() && !Interrupted(); ++i) {
    if (i > 0) PauseUntil(MonotonicSeconds() + delayMs / 1000.0);
    if (!Interrupted() && !SendLine(lines[i], lines.Length(i))) return false;
  }
  return true;
}

// Steps are timed from the start, so a slow write does not slow the pattern.
// A pattern ends, by --seconds or Ctrl-C, with every lamp off, as lightbeat
// and the plug-in end: a half-played chaser left lit means nothing. Lines
// given one by one stay as sent.
bool PlayPattern(const LightsendOptions& options) {
  const double start = MonotonicSeconds();
  const double total = options.seconds * options.rate;
  char line[kMaxLineLength + 1];
  for (unsigned long step = 0; options.seconds < 0 || step < total; ++step) {
    PauseUntil(start + step / options.rate);
    if (Interrupted()) break;
    const size_t length = PatternLine(options.pattern, options.mode, step, line);
    if (!SendLine(line, length)) return false;
  }
  // One step's time after the last step (within 20 to 200 ms), so that the
  // server reads it apart from that step: lines sharing a read are dropped.
  SleepSeconds(std::max(0.02, std::min(0.2, 1 / options.rate)));
  return SendLine(line, FormatLightLine(options.mode, 0, line));
}

// Connects, trying again while the server is busy, for up to kBusyWaitMs
// or until Ctrl-C or SIGTERM. No attempt waits: each ends at once or after
// the client side's short check for a refusal.
PipeStatus ConnectWhileBusy(ShortText* detail) {
  const double deadline = MonotonicSeconds() + kBusyWaitMs / 1000.0;
  for (;;) {
    const PipeStatus status = PipeConnect(&Connection, detail);
    if (status != PipeStatus::kBusy || Interrupted() || MonotonicSeconds() >= deadline) return status;
    PauseUntil(MonotonicSeconds() + 0.01);
  }
}

}  // namespace

int main(int argc, char** argv) {
  LightsendOptions options;
  ShortText error;
  const ParseOutcome outcome = ParseLightsendArguments(argc - 1, argv + 1, &options, &error);
  if (const int code = AnswerParse(outcome, "lightsend", LightsendHelp(), error.c_str()); code >= 0)
    return code;
  if (options.fromStdin && !ReadStdinLines(&options.lines)) return 2;

  InstallInterruptHandler();
  ShortText detail;
  const PipeStatus status = ConnectWhileBusy(&detail);
  if (status != PipeStatus::kOk) {
    Say(status, detail);
    return 1;
  }
  const bool sent = options.pattern == nullptr ? SendLines(options.lines, options.delayMs)
                                            : PlayPattern(options);
  PipeDisconnect(Connection);
  return sent ? 0 : 1;
}
