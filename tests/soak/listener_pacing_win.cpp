// Windows: the pipe's flush returns only when the server's read has taken
// every byte, so there is nothing more to wait for.
#include "tests/soak/listener_pacing.h"

bool FindListenerThread() { return true; }
bool WaitListenerAsleep() { return true; }
