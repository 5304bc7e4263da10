#include <pthread.h>

#include "tests/soak/host_platform.h"

// Not asked for on Linux: the driver lists /proc/PID/fd itself.
long OpenHandleCount() { return -1; }

void NameListenerThread() { pthread_setname_np(pthread_self(), "listener"); }
