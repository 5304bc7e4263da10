#include <mutex>

#include "lights/display_lock.h"

namespace {
std::mutex DisplayLock;
}  // namespace

void DisplayLockEnter() { DisplayLock.lock(); }
void DisplayLockLeave() { DisplayLock.unlock(); }
