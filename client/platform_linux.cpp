// The clients' platform operations on Linux: signals and terminals.
#include "client/platform.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {
volatile std::sig_atomic_t InterruptSeen = 0;
void OnInterrupt(int) { InterruptSeen = 1; }
}  // namespace

void InstallInterruptHandler() {
  struct sigaction action{};
  action.sa_handler = OnInterrupt;  // No SA_RESTART: a pause ends at once.
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return InterruptSeen != 0; }

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }
bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool TerminalTakesUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::strstr(value, "UTF-8") || std::strstr(value, "utf8");
  }
  return false;
}
