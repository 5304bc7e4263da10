// The soak client's pacing beyond the pipe's own drain: on Linux, the
// soak host's listener thread must be back in its wait before the next
// write, or one read could take two writes. One file per platform.
#pragma once

// Finds the listener thread of the host named by SOAK_HOST_PID, when set.
// False when it is set but the thread cannot be found.
bool FindListenerThread();

// Waits until that thread sleeps again (true at once when there is none to
// watch); false when it has not within about ten seconds.
bool WaitListenerAsleep();
