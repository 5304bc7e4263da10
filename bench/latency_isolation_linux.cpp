#include <sched.h>

#include <cstdio>

#include "bench/latency_isolation.h"

// The abstract name is global per network namespace: without a namespace of
// our own we would bind (or connect to) another program's listener.
bool IsolatePipeNames() {
  if (unshare(CLONE_NEWNET) == 0) return true;
  std::perror("latency_bench: unshare(CLONE_NEWNET) (run as root or under 'unshare -rn')");
  return false;
}
