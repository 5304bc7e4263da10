// The abstract Unix socket address of a pipe name, for the Linux server and
// client ends. Linux only.
#pragma once
#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <cstring>

// A leading zero byte, then the name with no terminating zero, and a length
// that covers exactly that: the abstract namespace, no file in the system.
inline socklen_t AbstractSocketAddress(const char* name, sockaddr_un* address) {
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  const size_t size = std::strlen(name);  // Names are short and ours.
  std::memcpy(address->sun_path + 1, name, size);
  return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size);
}
