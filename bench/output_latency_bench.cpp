// A light line's way to the network beside its way to the port, in the
// same run: a client writes ">5Lxxxx" into the real transport, the real
// listener applies it, the quiet fake port (watched) stamps the data write
// and the kernel stamps the sACN packet that carries the same lamps as it reaches
// the loopback receiver's socket (SO_TIMESTAMPNS: the moment a capture
// would see it, without the receiving thread's own wake-up, which is also
// reported).
// Lines go 30 ms apart, past the outputs' 23 ms frame time, so that each
// line is a frame of its own. Linux: in a network namespace of its own.
// With "usbpro" the output is a DMX USB Pro on a pty whose other end this
// program reads as the widget would (answering its parameters request): the
// frame's time is when its last byte is read there. It then sends a line
// every 5 ms for 3 s and counts the frames a second.
//   output_latency_bench [lines] [usbpro]    (default 500, sACN)
#include <fcntl.h>
#include <arpa/inet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "bench/latency_isolation.h"
#include "app/listener_sink.h"
#include "bench/latency_probe.h"
#include "lights/light_control.h"
#include "lightnet/output_options.h"
#include "lightnet/outputs.h"
#include "lightnet/usbpro.h"
#include "pipe/pipe_client.h"
#include "pipe/pipe_name.h"
#include "tests/support/test_threads.h"

namespace {

using Clock = LatencyClock;

// When the awaited lamp value reached the wire; the port's side is the
// latency benchmark's probe (bench/latency_seams.cpp).
TestLock Lock;
TestSignal WireSignal;
uint32_t Awaited = 0x10000;  // No value yet.
Clock::time_point WireAt, ReadAt;

void Arrived(uint32_t value, Clock::time_point wire, Clock::time_point read) {
  TestLockHold hold(Lock);
  if (value != Awaited) return;
  WireAt = wire;
  ReadAt = read;
  WireSignal.Raise();
}

// The kernel's arrival stamp (CLOCK_REALTIME) on the benchmark's clock.
Clock::time_point OnSteadyClock(const timespec& stamp, Clock::time_point steadyNow) {
  timespec realNow;
  clock_gettime(CLOCK_REALTIME, &realNow);
  const double ago = double(realNow.tv_sec - stamp.tv_sec) * 1e9 + double(realNow.tv_nsec - stamp.tv_nsec);
  return steadyNow - std::chrono::nanoseconds(int64_t(ago));
}

// The receiver: the lamp value back from the 16 levels of channels 1 to 16.
void Receive(void* socketPointer) {
  const int socket = *static_cast<int*>(socketPointer);
  uint8_t packet[700];
  alignas(cmsghdr) char control[64];
  for (;;) {
    iovec data{packet, sizeof packet};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(socket, &message, 0);
    const Clock::time_point readAt = Clock::now();
    const cmsghdr* stamp = CMSG_FIRSTHDR(&message);
    if (n != 638 || !stamp || stamp->cmsg_type != SCM_TIMESTAMPNS) continue;
    timespec kernelAt;
    std::memcpy(&kernelAt, CMSG_DATA(stamp), sizeof kernelAt);
    uint32_t value = 0;
    for (int lamp = 0; lamp < 16; ++lamp)
      if (packet[126 + lamp] == 255) value |= 1u << lamp;
    Arrived(value, OnSteadyClock(kernelAt, readAt), readAt);
  }
}

// The stand-in widget on the pty's other end: answers the parameters
// request, and reads each frame's lamps from channels 1 to 16.
std::vector<Clock::time_point> FrameTimes;

void ReceiveUsbPro(void* masterPointer) {
  const int master = *static_cast<int*>(masterPointer);
  std::vector<uint8_t> buffer;
  uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = read(master, chunk, sizeof chunk);
    const Clock::time_point readAt = Clock::now();
    if (n <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    buffer.insert(buffer.end(), chunk, chunk + n);
    while (buffer.size() >= 5) {
      if (buffer[0] != kUsbProStart) {
        buffer.erase(buffer.begin());
        continue;
      }
      const size_t length = size_t(buffer[2] | buffer[3] << 8);
      if (buffer.size() < length + 5) break;
      if (buffer[1] == kUsbProParametersLabel) {
        const uint8_t data[5] = {0x2C, 0x01, 9, 1, 40};
        uint8_t answer[16];
        const size_t size = BuildUsbProMessage(kUsbProParametersLabel, data, sizeof data, answer, sizeof answer);
        if (write(master, answer, size) != ssize_t(size)) std::perror("output_latency_bench: answer");
      } else if (buffer[1] == kUsbProSendDmxLabel && length == 513) {
        uint32_t value = 0;
        for (int lamp = 0; lamp < 16; ++lamp)
          if (buffer[5 + lamp] == 255) value |= 1u << lamp;
        {
          TestLockHold hold(Lock);
          FrameTimes.push_back(readAt);
        }
        Arrived(value, readAt, readAt);
      }
      buffer.erase(buffer.begin(), buffer.begin() + long(length + 5));
    }
  }
}

bool LoopbackUp() {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  const bool up = ioctl(s, SIOCGIFFLAGS, &request) == 0 &&
                  (request.ifr_flags |= IFF_UP, ioctl(s, SIOCSIFFLAGS, &request) == 0);
  close(s);
  return up;
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 500;
  const bool usbPro = argc > 2 && std::strcmp(argv[2], "usbpro") == 0;
  if (lines < 1 || lines > 20000 || (argc > 2 && !usbPro)) {
    std::fprintf(stderr, "usage: output_latency_bench [lines: 1 to 20000] [usbpro]\n");
    return 2;
  }
  const char* wireName = usbPro ? "DMX USB Pro frame" : "sACN packet";
  if (!IsolatePipeNames()) return 1;
  if (!LoopbackUp()) {
    std::fprintf(stderr, "output_latency_bench: cannot bring loopback up\n");
    return 1;
  }
  int receiver = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(5568);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int on = 1;
  if (setsockopt(receiver, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0 ||
      bind(receiver, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
    std::perror("output_latency_bench: bind 127.0.0.1:5568");
    return 1;
  }
  StartDetachedThread(Receive, &receiver);

  static int master = -1;
  char outputs[96] = "--sacn 127.0.0.1";
  if (usbPro) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr) {
      std::perror("output_latency_bench: pty");
      return 1;
    }
    std::snprintf(outputs, sizeof outputs, "--usbpro %s", ptsname(master));
    StartDetachedThread(ReceiveUsbPro, &master);
  }
  static OutputOptions options;
  ReadOutputOptions(outputs, &options);
  StartOutputs(options.outputs, options.count);
  PortBase = 0x378;
  StartDetachedThread([](void*) { RunListener(ProgramListenerSink(nullptr)); }, nullptr);
  PipeConnection* client = nullptr;
  if (PipeConnectRetrying(PIPE_NAME, 5000, true, &client, nullptr) != PipeStatus::kOk) return 1;

  std::vector<double> port, wire, gap, read;
  for (int i = 0; i < lines + 20; ++i) {
    const uint32_t value = uint32_t(i % 2 == 0 ? 0x8001 + 2 * (i % 1000) : 0x0100 + i % 0xFE00) & 0xFFFF;
    {
      TestLockHold hold(Lock);
      Awaited = value;
      WireSignal.Clear();
    }
    ProbeExpect(value);
    char line[16];
    const int length = std::snprintf(line, sizeof line, ">5L%04X\n", unsigned(value));
    const Clock::time_point start = Clock::now();
    if (PipeWrite(client, line, size_t(length), nullptr) != PipeStatus::kOk) return 1;
    Clock::time_point portAt;
    if (!ProbeWait(&portAt) || !WireSignal.Wait(5000)) {
      std::fprintf(stderr, "output_latency_bench: %.*s never arrived\n", length - 1, line);
      return 1;
    }
    if (i >= 20) {  // The first lines warm the path up.
      TestLockHold hold(Lock);
      port.push_back(std::chrono::duration<double, std::micro>(portAt - start).count());
      wire.push_back(std::chrono::duration<double, std::micro>(WireAt - start).count());
      gap.push_back(std::chrono::duration<double, std::micro>(WireAt - portAt).count());
      read.push_back(std::chrono::duration<double, std::micro>(ReadAt - start).count());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  const Summary p = Summarise(port), w = Summarise(wire), g = Summarise(gap), r = Summarise(read);
  std::printf("line to port write and to %s%s, %d lines, microseconds\n", wireName,
              usbPro ? " read at the pty's other end" : " on loopback", lines);
  std::printf("%-32s %9s %9s %9s\n", "", "p50", "p99", "max");
  std::printf("%-32s %9.1f %9.1f %9.1f\n", "line to port data (reference)", p.p50, p.p99, p.max);
  std::printf("%-32s %9.1f %9.1f %9.1f\n", usbPro ? "line to DMX USB Pro frame" : "line to sACN packet", w.p50,
              w.p99, w.max);
  std::printf("%-32s %9.1f %9.1f %9.1f\n", "port data to packet, per line", g.p50, g.p99, g.max);
  if (!usbPro) std::printf("%-32s %9.1f %9.1f %9.1f\n", "line to the receiver's read", r.p50, r.p99, r.max);
  std::printf("p50 difference %.1f us (goal <= 100), p99 difference %.1f us (goal <= 1000)\n", w.p50 - p.p50,
              w.p99 - p.p99);
  if (usbPro) {
    // A line every 5 ms, each a change: the frames are the output's limit.
    size_t before;
    {
      TestLockHold hold(Lock);
      before = FrameTimes.size();
    }
    const Clock::time_point from = Clock::now();
    for (int i = 0; Clock::now() - from < std::chrono::seconds(3); ++i) {
      char line[16];
      const int length = std::snprintf(line, sizeof line, ">5L%04X\n", unsigned(0x1000 + i % 0x1000));
      if (PipeWrite(client, line, size_t(length), nullptr) != PipeStatus::kOk) return 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    TestLockHold hold(Lock);
    const double seconds = std::chrono::duration<double>(FrameTimes.back() - FrameTimes[before]).count();
    double shortest = 1e9;
    for (size_t i = before + 1; i < FrameTimes.size(); ++i)
      shortest = std::min(shortest, std::chrono::duration<double, std::milli>(FrameTimes[i] - FrameTimes[i - 1]).count());
    std::printf("frames a second with a line every 5 ms: %.1f (goal <= 44), shortest gap %.1f ms\n",
                double(FrameTimes.size() - before - 1) / seconds, shortest);
  }
  std::fflush(stdout);
  std::_Exit(0);  // The listener and the sender are neither signalled nor waited for.
}
