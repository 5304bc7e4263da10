// How many handles (Windows) or descriptors (Linux) this process holds, for
// the soak's check that serving clients leaks none.
#pragma once

long OpenHandleCount();
