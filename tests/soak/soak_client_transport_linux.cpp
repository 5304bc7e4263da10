#include <dirent.h>
#include <linux/sockios.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "tests/soak/soak_client_transport.h"

namespace {

constexpr char kSocketName[] = "tormelin";
int Connection = -1;
std::string ListenerStat;  // /proc/PID/task/TID/stat of the listener thread.

// The host names its listener thread; SOAK_HOST_PID says whose to look for.
std::string FindListenerStat() {
  const char* pid = std::getenv("SOAK_HOST_PID");
  if (pid == nullptr) return "";
  const std::string tasks = std::string("/proc/") + pid + "/task";
  DIR* directory = opendir(tasks.c_str());
  if (directory == nullptr) return "";
  std::string found;
  while (const dirent* entry = readdir(directory)) {
    std::ifstream comm(tasks + "/" + entry->d_name + "/comm");
    std::string name;
    if (std::getline(comm, name) && name == "listener") found = tasks + "/" + entry->d_name + "/stat";
  }
  closedir(directory);
  return found;
}

bool ListenerSleeping() {
  std::ifstream stat(ListenerStat);
  std::string line;
  if (!std::getline(stat, line)) return false;
  const size_t name_end = line.rfind(')');
  return name_end != std::string::npos && name_end + 2 < line.size() && line[name_end + 2] == 'S';
}

// Waits a while for ready(): yields first, as the server keeps up within
// microseconds, then sleeps (sanitizers), for up to about ten seconds.
template <typename Ready>
bool WaitFor(Ready ready) {
  for (int wait = 0; wait < 200000; ++wait) {
    if (ready()) return true;
    if (wait < 1000) {
      sched_yield();
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  }
  return false;
}

}  // namespace

bool Connect() {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, kSocketName, sizeof kSocketName - 1);
  const socklen_t length = offsetof(sockaddr_un, sun_path) + 1 + sizeof kSocketName - 1;
  ListenerStat = FindListenerStat();
  if (std::getenv("SOAK_HOST_PID") != nullptr && ListenerStat.empty()) return false;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    Connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (Connection < 0) return false;
    if (connect(Connection, reinterpret_cast<const sockaddr*>(&address), length) == 0) return true;
    close(Connection);
    Connection = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // Not bound yet.
  }
  return false;
}

// On a Unix stream socket the bytes stay charged to the sender until the
// receiver has read them: an empty output queue means all were read. But
// the read that took them may still be running and take the next write's
// bytes too, when they come at once; so also wait until the listener thread
// sleeps again, which it does only after that read has returned.
bool WriteAndDrain(const unsigned char* bytes, size_t count) {
  if (send(Connection, bytes, count, MSG_NOSIGNAL) != static_cast<ssize_t>(count)) return false;
  const bool read = WaitFor([] {
    int queued = 0;
    return ioctl(Connection, SIOCOUTQ, &queued) == 0 && queued == 0;
  });
  return read && (ListenerStat.empty() || WaitFor(ListenerSleeping));
}

void Disconnect() {
  if (Connection >= 0) close(Connection);
  Connection = -1;
}
