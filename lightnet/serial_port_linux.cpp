#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "lightnet/net_platform.h"
#include "lightnet/serial_port.h"
#include "platform/clock.h"
#include "protocol/short_text.h"

namespace {

int MillisecondsLeft(double deadline) {
  const double left = deadline - MonotonicSeconds();
  return left <= 0 ? 0 : int(left * 1000) + 1;
}

}  // namespace

intptr_t OpenSerialPort(const char* name, int* error) {
  // Non-blocking: a write to a widget that takes nothing must not hold the
  // output's thread; the waits below are bounded instead. No controlling
  // terminal: the port is a device, not the program's terminal.
  const int fd = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  termios mode;
  if (tcgetattr(fd, &mode) != 0) {
    *error = errno;
    close(fd);
    return -1;
  }
  cfmakeraw(&mode);
  mode.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS);
  mode.c_cflag |= CLOCAL | CREAD | CS8;
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  cfsetispeed(&mode, B115200);
  cfsetospeed(&mode, B115200);
  if (tcsetattr(fd, TCSANOW, &mode) != 0) {
    *error = errno;
    close(fd);
    return -1;
  }
  return fd;
}

int WriteSerial(intptr_t port, const uint8_t* data, size_t length, double seconds) {
  const double deadline = MonotonicSeconds() + seconds;
  while (length > 0) {
    const ssize_t wrote = write(int(port), data, length);
    if (wrote > 0) {
      data += wrote;
      length -= size_t(wrote);
      continue;
    }
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0 && errno != EAGAIN) return errno;
    pollfd wait = {int(port), POLLOUT, 0};
    const int ready = poll(&wait, 1, MillisecondsLeft(deadline));
    if (ready < 0 && errno != EINTR) return errno;
    if (ready == 0) return ETIMEDOUT;
    // A hang-up or error shows on the next write.
  }
  return 0;
}

long ReadSerial(intptr_t port, uint8_t* out, size_t size, double seconds, int* error) {
  const double deadline = MonotonicSeconds() + seconds;
  for (;;) {
    // A raw port with no byte waiting reads 0, as a hung-up one does: poll
    // tells them apart.
    pollfd wait = {int(port), POLLIN, 0};
    const int ready = poll(&wait, 1, MillisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) {
      *error = errno;
      return -1;
    }
    if (ready == 0) return 0;
    if (wait.revents & POLLIN) {
      const ssize_t got = read(int(port), out, size);
      if (got > 0) return long(got);
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      *error = got < 0 ? errno : EIO;
      return -1;
    }
    // A pty whose other end has gone, or a device unplugged.
    *error = EIO;
    return -1;
  }
}

void DropSerialInput(intptr_t port) { tcflush(int(port), TCIFLUSH); }

void CloseSerialPort(intptr_t port) {
  if (port != -1) close(int(port));
}

bool CheckSerialPort(const char* name, char* why, size_t size) {
  int error = 0;
  const intptr_t port = OpenSerialPort(name, &error);
  if (port != -1) {
    CloseSerialPort(port);
    return true;
  }
  char detail[96];
  SerialErrorText(error, detail, sizeof detail);
  ShortText text;
  if (error == ENOENT)
    text.Add("no such port");
  else if (error == ENOTTY || error == EINVAL)
    text.Add("not a serial port");
  else
    text.Add("cannot open the port");
  text.Add(" (").Add(detail).Add(")");
  text.CopyTo(why, size);
  return false;
}

void SerialErrorText(int error, char* out, size_t size) { ErrorText(error, out, size); }
