#include <csignal>

#include "tools/interrupt.h"

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
