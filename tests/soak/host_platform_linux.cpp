#include <dirent.h>
#include <pthread.h>

#include "tests/soak/host_platform.h"

// The entries of /proc/self/fd, less "." and "..", and less the descriptor
// of the listing itself.
long OpenHandleCount() {
  DIR* directory = opendir("/proc/self/fd");
  if (directory == nullptr) return -1;
  long count = 0;
  while (const dirent* entry = readdir(directory)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(directory);
  return count - 1;
}

void NameListenerThread() { pthread_setname_np(pthread_self(), "listener"); }
