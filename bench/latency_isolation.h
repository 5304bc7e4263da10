// Makes the pipe's names private to the latency benchmark where they are
// global (Linux: a network namespace of its own). One file per platform.
#pragma once

// Returns false after saying why when it cannot.
bool IsolatePipeNames();
