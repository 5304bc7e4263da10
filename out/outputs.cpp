#include "out/outputs.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

#include "out/ola_link.h"
#include "out/out_platform.h"
#include "out/packets.h"
#include "out/text.h"

namespace {

// One output's state, made by StartOutputs.
struct OutputRun {
  OutputConfig config;
  // The newest state to send, in one word so that the listener hands it
  // over with one store: bank0 | bank1 << 8.
  std::atomic<uint32_t> wanted;
  std::atomic<bool> stopping;
  SenderThread* thread;
  intptr_t socket;  // -1: none open.
  void* ola;
  uint8_t sequence;
  bool faulted;  // A fault was said and not yet cleared by a good send.
  char name[kMaxHostName + 12];
  uint8_t levels[kDmxSlots];
  uint8_t rgb[kMaxPixels * 3];
  uint8_t packet[kSacnPacketSize > kDdpPacketSize ? kSacnPacketSize : kDdpPacketSize];
};

// From the heap: mingw-w64 places a large zeroed array with its own data
// section in .data, in the file, and the Windows program counts its bytes.
OutputRun* Runs;
std::atomic<size_t> RunCount;  // Published after each run is ready.
uint8_t ComponentId[16];
const char kSourceName[] = "Pipe Server Vantrelle";

enum : uint8_t { kWledTimeoutSeconds = 2, kWledHandBack = 0 };

void Fault(OutputRun& run, const char* what, int error) {
  if (run.faulted) return;
  run.faulted = true;
  ReportOutputFault(run.name, what, error);
}

bool Send(OutputRun& run, uint16_t port, size_t length) {
  const int error = SendUdp(run.socket, run.config.address, port, run.packet, length);
  if (error == 0) return true;
  Fault(run, "cannot send", error);
  return false;
}

// The socket and the receiver's address, made again after a fault.
bool Ready(OutputRun& run) {
  const OutputConfig& config = run.config;
  if (config.kind == OutputKind::kOla) {
    if (run.ola == nullptr) run.ola = OlaConnect();
    if (run.ola == nullptr) Fault(run, "olad is not running", 0);
    return run.ola != nullptr;
  }
  if (config.address == 0 && !ResolveHostName(config.host, &run.config.address)) {
    Fault(run, "cannot find the host", 0);
    return false;
  }
  if (run.socket == -1) {
    run.socket = OpenUdpSender(config.kind == OutputKind::kArtNet || config.kind == OutputKind::kSacn,
                               config.multicast, config.interfaceAddress);
    if (run.socket == -1) {
      Fault(run, "cannot open a socket", 0);
      return false;
    }
  }
  return true;
}

// One frame of the lamp state: every packet the protocol needs for it.
bool SendFrame(OutputRun& run, uint32_t state, bool last) {
  const uint8_t bank0 = uint8_t(state), bank1 = uint8_t(state >> 8);
  const OutputConfig& config = run.config;
  if (!Ready(run)) return false;
  bool good = true;
  switch (config.kind) {
    case OutputKind::kSacn: {
      BuildDmxLevels(config.dmx, bank0, bank1, run.levels);
      // A source that ends says so three times: a receiver may miss one.
      for (int copy = 0; copy < (last ? 3 : 1) && good; ++copy) {
        const SacnFrame frame{ComponentId, kSourceName, config.priority, run.sequence++, last,
                              uint16_t(config.universe)};
        good = Send(run, kSacnPort, BuildSacnPacket(frame, run.levels, run.packet));
      }
      break;
    }
    case OutputKind::kArtNet:
      if (last) return true;  // ArtDmx has no end of stream; the node keeps the last frame.
      BuildDmxLevels(config.dmx, bank0, bank1, run.levels);
      if (++run.sequence == 0) run.sequence = 1;  // 0 would turn the receiver's ordering off.
      good = Send(run, kArtNetPort, BuildArtDmxPacket(uint16_t(config.universe), run.sequence, run.levels, run.packet));
      break;
    case OutputKind::kWled: {
      const size_t pixels = BuildPixels(config.pixels, bank0, bank1, run.rgb);
      const uint8_t timeout = last ? kWledHandBack : kWledTimeoutSeconds;
      if (last) return Send(run, kWledPort, BuildWledPacket(timeout, config.pixels.startPixel, run.rgb, 1, run.packet));
      const bool oneDrgb = config.pixels.startPixel == 0 && pixels <= kWledDrgbMaxPixels;
      const size_t step = oneDrgb ? pixels : kWledDnrgbMaxPixels;
      for (size_t from = 0; from < pixels && good; from += step) {
        const size_t count = pixels - from < step ? pixels - from : step;
        good = Send(run, kWledPort,
                    BuildWledPacket(timeout, uint16_t(config.pixels.startPixel + from), run.rgb + from * 3, count, run.packet));
      }
      break;
    }
    case OutputKind::kDdp: {
      if (last) return true;  // WLED leaves DDP's realtime mode by its own timeout.
      const size_t bytes = BuildPixels(config.pixels, bank0, bank1, run.rgb) * 3;
      for (size_t from = 0; from < bytes && good; from += kDdpMaxData) {
        const size_t count = bytes - from < kDdpMaxData ? bytes - from : kDdpMaxData;
        run.sequence = uint8_t(run.sequence % 15 + 1);  // 1 to 15; 0 means none.
        good = Send(run, kDdpPort,
                    BuildDdpPacket(run.sequence, uint32_t(config.pixels.startPixel * 3 + from), from + count == bytes,
                                   run.rgb + from, count, run.packet));
      }
      break;
    }
    case OutputKind::kOla:
      if (last) return true;
      BuildDmxLevels(config.dmx, bank0, bank1, run.levels);
      good = OlaSendDmx(run.ola, config.universe, run.levels);
      if (!good) {
        Fault(run, "olad has gone", 0);
        OlaClose(run.ola);
        run.ola = nullptr;
      }
      break;
  }
  if (good) run.faulted = false;
  return good;
}

// The output's thread: a send at once, then on each change (at most one
// per frame time) and when the keep-alive is due; the last packets at stop.
void SenderBody(void* arg) {
  OutputRun& run = *static_cast<OutputRun*>(arg);
  const uint32_t keepAlive = KeepAliveMilliseconds(run.config.kind);
  uint32_t sentState = run.wanted.load();
  SendFrame(run, sentState, false);
  uint32_t sentAt = MonotonicMilliseconds();
  for (;;) {
    const uint32_t since = MonotonicMilliseconds() - sentAt;
    if (run.stopping.load()) break;
    const uint32_t state = run.wanted.load();
    if (state != sentState || since >= keepAlive) {
      if (since < kFrameMilliseconds) {
        // A change inside the frame time waits it out; then the newest goes.
        WaitForWake(run.thread, kFrameMilliseconds - since);
        continue;
      }
      sentState = run.wanted.load();
      SendFrame(run, sentState, false);
      sentAt = MonotonicMilliseconds();
      continue;
    }
    WaitForWake(run.thread, keepAlive - since);
  }
  SendFrame(run, run.wanted.load(), true);
  CloseUdpSender(run.socket);
  OlaClose(run.ola);
}

}  // namespace

uint32_t KeepAliveMilliseconds(OutputKind kind) {
  switch (kind) {
    case OutputKind::kSacn:
      return 900;  // At least once a second: receivers drop a source after 2.5 s.
    case OutputKind::kArtNet:
      return 2000;  // Within the 4 s after which nodes may drop a source.
    default:
      return 1000;  // WLED's timeout byte is 2 s; OLA passes on what it gets.
  }
}

void HostComponentId(const char* hostName, uint8_t cid[16]) {
  // Two FNV-1a hashes with different offsets make the 128 bits.
  uint64_t a = 0xcbf29ce484222325ull, b = 0x84222325cbf29ce4ull;
  static const char kSalt[] = "pipeserver:";
  for (const char* part : {kSalt, hostName}) {
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(part); *at != 0; ++at) {
      a = (a ^ *at) * 0x100000001b3ull;
      b = (b ^ *at) * 0x100000001b3ull;
    }
  }
  for (int i = 0; i < 8; ++i) {
    cid[i] = uint8_t(a >> (56 - 8 * i));
    cid[8 + i] = uint8_t(b >> (56 - 8 * i));
  }
  cid[6] = uint8_t((cid[6] & 0x0F) | 0x80);  // Version 8.
  cid[8] = uint8_t((cid[8] & 0x3F) | 0x80);  // The RFC's variant.
}

void StartOutputs(const OutputConfig* outputs, size_t count) {
  if (count == 0) return;
  if (count > kMaxOutputs) count = kMaxOutputs;
  void* memory = std::calloc(count, sizeof(OutputRun));
  if (memory == nullptr) return;
  Runs = static_cast<OutputRun*>(memory);
  for (size_t i = 0; i < count; ++i) new (&Runs[i]) OutputRun();  // One by one: no array cookie.
  StartNetworking();
  char host[256];
  LocalHostName(host, sizeof host);
  HostComponentId(host, ComponentId);
  static const char* const kNames[] = {"sACN", "Art-Net", "WLED", "DDP", "OLA"};
  for (size_t i = 0; i < count; ++i) {
    OutputRun& run = Runs[i];
    run.config = outputs[i];
    run.socket = -1;
    run.name[0] = '\0';
    AppendText(run.name, sizeof run.name, kNames[int(outputs[i].kind)]);
    if (outputs[i].host[0] != '\0') {
      AppendText(run.name, sizeof run.name, " ");
      AppendText(run.name, sizeof run.name, outputs[i].host);
    }
    if (!StartSenderThread(&run.thread, SenderBody, &run)) break;
    RunCount.store(i + 1);
  }
}

void OutputLamps(uint8_t bank0, uint8_t bank1) {
  const size_t count = RunCount.load();
  for (size_t i = 0; i < count; ++i) {
    Runs[i].wanted.store(uint32_t(bank0) | (uint32_t(bank1) << 8));
    WakeSender(Runs[i].thread);
  }
}

void StopOutputs() {
  // Once: Windows stops the outputs when the session ends and again on the
  // way out of the message loop, if the process lives that long.
  static std::atomic<bool> stopped{false};
  if (stopped.exchange(true)) return;
  const size_t count = RunCount.load();
  for (size_t i = 0; i < count; ++i) {
    Runs[i].stopping.store(true);
    WakeSender(Runs[i].thread);
  }
  // A receiver that does not answer costs nothing here: sends never block
  // for long, and the wait has a limit.
  const uint32_t start = MonotonicMilliseconds();
  for (size_t i = 0; i < count; ++i) {
    const uint32_t spent = MonotonicMilliseconds() - start;
    JoinSenderThread(Runs[i].thread, spent < 500 ? 500 - spent : 0);
  }
}
