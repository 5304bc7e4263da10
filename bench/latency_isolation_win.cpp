#include "bench/latency_isolation.h"

// Pipe names are per session and the build's Wine prefix is ours alone.
bool IsolatePipeNames() { return true; }
