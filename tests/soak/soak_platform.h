// The soak host's and client's few platform operations, one file per platform.
#pragma once

// How many handles (Windows) or descriptors (Linux) this process holds, for
// the soak's check that serving clients leaks none.
long OpenHandleCount();

// The host names its listener thread "listener" where other processes can
// read thread names (Linux: /proc/PID/task/TID/comm), so that the client
// can tell when the listener is back waiting for its next read.
void NameListenerThread();

// The client's pacing beyond the pipe's own drain. FindListenerThread finds
// the listener of the host named by SOAK_HOST_PID, when set (false when it
// is set but the thread cannot be found); WaitListenerAsleep waits until it
// sleeps again (true at once when there is none to watch), false when it
// has not within about ten seconds.
bool FindListenerThread();
bool WaitListenerAsleep();
