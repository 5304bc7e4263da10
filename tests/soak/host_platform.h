// The soak host's few platform operations.
#pragma once

// How many handles (Windows) or descriptors (Linux) this process holds, for
// the soak's check that serving clients leaks none.
long OpenHandleCount();

// Names the calling thread "listener" where threads have names that other
// processes can read (Linux: /proc/PID/task/TID/comm), so that a client can
// tell when the listener is back waiting for its next read.
void NameListenerThread();
