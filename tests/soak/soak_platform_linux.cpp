// Linux: a Unix socket's empty send queue means the bytes were read, but
// the read that took them may still be running and take the next write's
// bytes too, when they come at once; so also wait until the listener thread
// sleeps again, which it does only after that read has returned.
#include <dirent.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/soak/soak_platform.h"

namespace {

std::string ListenerStat;  // /proc/PID/task/TID/stat of the listener thread.

bool ListenerSleeping() {
  std::ifstream stat(ListenerStat);
  std::string line;
  if (!std::getline(stat, line)) return false;
  const size_t name_end = line.rfind(')');
  return name_end != std::string::npos && name_end + 2 < line.size() && line[name_end + 2] == 'S';
}

}  // namespace

// Not asked for on Linux: the driver lists /proc/PID/fd itself.
long OpenHandleCount() { return -1; }

void NameListenerThread() { pthread_setname_np(pthread_self(), "listener"); }

// The host names its listener thread; SOAK_HOST_PID says whose to look for.
bool FindListenerThread() {
  const char* pid = std::getenv("SOAK_HOST_PID");
  if (pid == nullptr) return true;
  const std::string tasks = std::string("/proc/") + pid + "/task";
  DIR* directory = opendir(tasks.c_str());
  if (directory == nullptr) return false;
  while (const dirent* entry = readdir(directory)) {
    std::ifstream comm(tasks + "/" + entry->d_name + "/comm");
    std::string name;
    if (std::getline(comm, name) && name == "listener") ListenerStat = tasks + "/" + entry->d_name + "/stat";
  }
  closedir(directory);
  return !ListenerStat.empty();
}

// Polled every 50 µs: the thread is back in its wait within microseconds,
// or milliseconds under the sanitizers.
bool WaitListenerAsleep() {
  if (ListenerStat.empty()) return true;
  for (int check = 0; check < 200000; ++check) {
    if (ListenerSleeping()) return true;
    usleep(50);
  }
  return false;
}
