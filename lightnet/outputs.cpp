#include "lightnet/outputs.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

#include "lightnet/net_platform.h"
#include "lightnet/ola_link.h"
#include "lightnet/open_dmx.h"
#include "lightnet/packets.h"
#include "lightnet/serial_port.h"
#include "lightnet/usbpro.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "protocol/short_text.h"

namespace {

// Why an output is not sending now; kept with the system's error number in
// one word, so that the window reads it while the sender changes it.
enum class Fault : uint32_t {
  kNone, kNoHost, kSocket, kSend, kRefused, kOlaNotRunning, kOlaGone,
  kNoInterface, kInterfaceGone, kPortOpen, kNotUsbPro, kPortWrite,
};
const char* const kFaultTexts[] = {"",
                                   "cannot find the host",
                                   "",
                                   "cannot send",
                                   "nothing listens on the receiver's port",
                                   "olad is not running",
                                   "olad has gone",
                                   "the FTDI interface cannot be opened",
                                   "the FTDI interface has gone",
                                   "cannot open the port",
                                   "not a DMX USB Pro",
                                   "cannot write to the port"};

// One output's state, made by StartOutputs.
struct OutputRun {
  OutputConfig config;
  // The newest state to send, handed over by the listener with one store.
  std::atomic<LampBits> wanted;
  std::atomic<bool> stopping;
  std::atomic<uint32_t> framesSent;
  std::atomic<uint32_t> fault;  // Fault | error << 4.
  const char* socketStep;       // What OpenUdpSender could not do, for Fault::kSocket.
  Worker* thread;  // Null once joined.
  Gate* wake;      // The listener's and the stop's wake-up of the sender.
  intptr_t socket;  // -1: none open.
  void* ola;
  void* openDmx;
  double openTriedAt;  // Open DMX: the last try to open the interface.
  intptr_t port;    // The DMX USB Pro's serial port, -1: none open.
  // What a port that is not a DMX USB Pro answered: its first 8 bytes, the
  // count in the fault word.
  std::atomic<uint64_t> answered;
  bool named;       // The receiver is a host name, looked up by this thread.
  double lookedUpAt;
  bool lookedUp;    // At least one lookup was made.
  unsigned failedFrames;  // Frames in a row that did not go out.
  unsigned goodFrames;    // Frames in a row that did, since the last fault.
  int refusal;            // The receiver's refusal met during this frame, else 0.
  uint8_t sequence;
  ShortText name;  // "sACN 10.0.0.9", for its lines.
  uint8_t levels[kDmxSlots];
  uint8_t rgb[kMaxPixels * 3];
  uint8_t packet[kMaxPacketSize];
};

// From the heap: mingw-w64 places a large zeroed array with its own data
// section in .data, in the file, and the Windows program counts its bytes.
OutputRun* Runs;
std::atomic<size_t> RunCount;  // Published after each run is ready.
std::atomic<bool> Stopped;
bool AllEnded;  // Every sender of the stopped runs has ended.
uint8_t ComponentId[16];
const char kSourceName[] = "Pipe Server Vantrelle";
const char* const kKindNames[] = {"sACN", "Art-Net", "WLED", "DDP", "OLA", "Open DMX", "DMX USB Pro"};

enum : uint8_t { kWledTimeoutSeconds = 2, kWledHandBack = 0 };
enum : unsigned {
  kFramesToClear = 3,      // Good frames in a row before a fault counts as over.
  kFaultsBeforeAgain = 3,  // Bad frames in a row before the socket and the name are made again.
};

// The DMX USB Pro: how long it may take to answer the parameters request
// and to take a frame, and the pause before a port is opened again.
constexpr double kUsbProAnswerSeconds = 1.0;
constexpr double kUsbProWriteSeconds = 0.5;
constexpr double kUsbProRetrySeconds = 2.0;

void AddHexByte(uint8_t value, ShortText* out);

void AddFaultText(uint32_t fault, const char* socketStep, uint64_t answered, ShortText* out) {
  const uint32_t kind = fault & 0xF;
  const int error = int(fault >> 4);
  out->Add(kind == uint32_t(Fault::kSocket) ? socketStep : kFaultTexts[kind]);
  if (kind == uint32_t(Fault::kNotUsbPro)) {
    // The error's place holds how many bytes came back.
    if (error == 0) return void(out->Add(": no answer to the parameters request"));
    out->Add(": it answered");
    for (int i = 0; i < error && i < 8; ++i) AddHexByte(uint8_t(answered >> (8 * i)), &out->Add(" "));
    out->Add(error > 8 ? " ... (" : " (").AddNumber(error).Add(error == 1 ? " byte)" : " bytes)");
    return;
  }
  if (error != 0) {
    char detail[96];
    const bool serial = kind >= uint32_t(Fault::kPortOpen);
    (serial ? SerialErrorText : ErrorText)(error, detail, sizeof detail);
    out->Add(": ").Add(detail);
  }
}

// Says a fault once, when it begins; a run of good frames ends it.
void SetFault(OutputRun& run, Fault fault, int error) {
  run.goodFrames = 0;
  const uint32_t word = uint32_t(fault) | uint32_t(error) << 4;
  const bool already = run.fault.load() != 0;
  run.fault.store(word);
  if (already) return;
  ShortText line;
  line.Add(run.name.c_str()).Add(": ");
  AddFaultText(word, run.socketStep, run.answered.load(), &line);
  line.Add(" (retrying)");
  PrintConsoleLine(line.c_str());
}

void FrameWent(OutputRun& run) {
  run.framesSent.fetch_add(1);
  run.failedFrames = 0;
  if (run.refusal != 0)
    SetFault(run, Fault::kRefused, run.refusal);
  else if (run.fault.load() != 0 && ++run.goodFrames >= kFramesToClear)
    run.fault.store(0);
  run.refusal = 0;
}

void FrameFailed(OutputRun& run) {
  if (++run.failedFrames < kFaultsBeforeAgain) return;
  // The route, the interface or the name's address may have changed.
  run.failedFrames = 0;
  CloseUdpSender(run.socket);
  run.socket = -1;
  if (run.named) run.config.address = 0;
}

bool Send(OutputRun& run, size_t length) {
  if (length == 0) return false;  // A packet that did not fit its buffer: never sent.
  int error = SendUdp(run.socket, run.packet, length);
  if (error != 0 && IsRefusal(error)) {
    // The receiver's host answered an earlier packet that nothing listens
    // on its port; this send only reported it. Said, but every packet goes:
    // the receiver may start at any time.
    run.refusal = error;
    error = SendUdp(run.socket, run.packet, length);
  }
  if (error == 0) return true;
  SetFault(run, Fault::kSend, error);
  return false;
}

uint16_t PortOf(OutputKind kind) {
  switch (kind) {
    case OutputKind::kSacn: return kSacnPort;
    case OutputKind::kArtNet: return kArtNetPort;
    case OutputKind::kWled: return kWledPort;
    default: return kDdpPort;
  }
}

// The DMX USB Pro's port, open and checked: it must answer the parameters
// request within a second. A port that cannot be opened, does not answer or
// has failed is tried again after a pause; the attempt blocks only this
// output's thread.
bool UsbProReady(OutputRun& run) {
  if (run.port != -1) return true;
  if (run.lookedUp && MonotonicSeconds() - run.lookedUpAt < kUsbProRetrySeconds) return false;
  run.lookedUp = true;
  int error = 0;
  const intptr_t port = OpenSerialPort(run.config.host, &error);
  if (port == -1) {
    run.lookedUpAt = MonotonicSeconds();
    SetFault(run, Fault::kPortOpen, error);
    return false;
  }
  DropSerialInput(port);  // Whatever the port held from before is no answer.
  error = WriteSerial(port, run.packet, BuildUsbProParametersRequest(run.packet, sizeof run.packet),
                      kUsbProWriteSeconds);
  // The answer may come in pieces and after noise: read until a whole one is
  // there, the time is up or the buffer is full.
  uint8_t* answer = run.levels;  // Free until the first frame is built.
  size_t got = 0;
  UsbProParameters parameters;
  bool found = false;
  const double deadline = MonotonicSeconds() + kUsbProAnswerSeconds;
  while (error == 0 && !found && got < sizeof run.levels && !run.stopping.load()) {
    const double left = deadline - MonotonicSeconds();
    if (left <= 0) break;
    const long count = ReadSerial(port, answer + got, sizeof run.levels - got, left < 0.1 ? left : 0.1, &error);
    if (count < 0) break;
    got += size_t(count);
    found = FindUsbProParameters(answer, got, &parameters);
  }
  run.lookedUpAt = MonotonicSeconds();
  if (!found) {
    CloseSerialPort(port);
    if (error != 0) {
      SetFault(run, Fault::kPortWrite, error);
    } else if (!run.stopping.load()) {
      uint64_t first = 0;
      for (size_t i = 0; i < got && i < 8; ++i) first |= uint64_t(answer[i]) << (8 * i);
      run.answered.store(first);
      SetFault(run, Fault::kNotUsbPro, int(got));
    }
    return false;
  }
  run.port = port;
  return true;
}

// The receiver's address and a socket connected to it. A name that does not
// resolve is asked again once per keep-alive, not on every frame.
bool Ready(OutputRun& run) {
  OutputConfig& config = run.config;
  if (config.kind == OutputKind::kUsbPro) return UsbProReady(run);
  if (config.kind == OutputKind::kOla) {
    if (run.ola == nullptr) run.ola = OlaConnect();
    if (run.ola == nullptr) SetFault(run, Fault::kOlaNotRunning, 0);
    return run.ola != nullptr;
  }
  if (config.kind == OutputKind::kOpenDmx) {
    // An interface that has gone is tried again once a second, not every frame.
    const double now = MonotonicSeconds();
    if (run.openDmx == nullptr && now - run.openTriedAt >= 1.0) {
      run.openTriedAt = now;
      run.openDmx = OpenDmxOpen(config.ftdiDevice, nullptr, 0);
      if (run.openDmx == nullptr) SetFault(run, Fault::kNoInterface, 0);
    }
    return run.openDmx != nullptr;
  }
  if (config.address == 0) {
    const double now = MonotonicSeconds();
    if (run.lookedUp && now - run.lookedUpAt < KeepAliveSeconds(config.kind)) return false;
    run.lookedUp = true;
    run.lookedUpAt = now;
    if (!ResolveHostName(config.host, &config.address)) {
      config.address = 0;
      SetFault(run, Fault::kNoHost, 0);
      return false;
    }
    CloseUdpSender(run.socket);  // Connected to the old address, if any.
    run.socket = -1;
  }
  if (run.socket == -1) {
    const UdpTarget target{config.address, PortOf(config.kind),
                           config.kind == OutputKind::kArtNet && config.address == 0xFFFFFFFFu,
                           config.kind == OutputKind::kSacn && config.multicast, config.interfaceAddress};
    int error = 0;
    run.socket = OpenUdpSender(target, &error, &run.socketStep);
    if (run.socket == -1) {
      SetFault(run, Fault::kSocket, error);
      return false;
    }
  }
  return true;
}

// One frame of the lamp state: every packet the protocol needs for it.
bool SendFrame(OutputRun& run, LampBits lamps, bool last) {
  const OutputConfig& config = run.config;
  if (!Ready(run)) return false;
  const size_t room = sizeof run.packet;
  bool good = true;
  switch (config.kind) {
    case OutputKind::kSacn: {
      BuildDmxLevels(config.dmx, lamps, run.levels);
      // A source that ends says so three times: a receiver may miss one.
      for (int copy = 0; copy < (last ? 3 : 1) && good; ++copy) {
        const SacnFrame frame{ComponentId, kSourceName, config.priority, run.sequence++, last,
                              uint16_t(config.universe)};
        good = Send(run, BuildSacnPacket(frame, run.levels, run.packet, room));
      }
      break;
    }
    case OutputKind::kArtNet:
      if (last) return true;  // ArtDmx has no end of stream; the node keeps the last frame.
      BuildDmxLevels(config.dmx, lamps, run.levels);
      if (++run.sequence == 0) run.sequence = 1;  // 0 would turn the receiver's ordering off.
      good = Send(run, BuildArtDmxPacket(uint16_t(config.universe), run.sequence, run.levels, run.packet, room));
      break;
    case OutputKind::kWled: {
      const size_t pixels = BuildPixels(config.pixels, lamps, run.rgb);
      // Handing back needs one pixel: WLED leaves realtime mode on the timeout byte.
      const size_t sent = last ? 1 : pixels;
      const uint8_t timeout = last ? kWledHandBack : kWledTimeoutSeconds;
      for (size_t from = 0; from < sent && good;) {
        const uint16_t start = uint16_t(config.pixels.startPixel + from);
        const size_t count = WledPixelsPerPacket(start, sent - from);
        good = Send(run, BuildWledPacket(timeout, start, run.rgb + from * 3, count, run.packet, room));
        from += count;
      }
      break;
    }
    case OutputKind::kDdp: {
      if (last) return true;  // WLED leaves DDP's realtime mode by its own timeout.
      const size_t bytes = BuildPixels(config.pixels, lamps, run.rgb) * 3;
      for (size_t from = 0; from < bytes && good; from += kDdpMaxData) {
        const size_t count = bytes - from < kDdpMaxData ? bytes - from : kDdpMaxData;
        run.sequence = uint8_t(run.sequence % 15 + 1);  // 1 to 15; 0 means none.
        good = Send(run, BuildDdpPacket(run.sequence, uint32_t(config.pixels.startPixel * 3 + from),
                                        from + count == bytes, run.rgb + from, count, run.packet, room));
      }
      break;
    }
    case OutputKind::kOla:
      if (last) return true;
      BuildDmxLevels(config.dmx, lamps, run.levels);
      good = OlaSendDmx(run.ola, config.universe, run.levels);
      if (!good) {
        SetFault(run, Fault::kOlaGone, 0);
        OlaClose(run.ola);
        run.ola = nullptr;
      }
      break;
    case OutputKind::kOpenDmx:
      if (last) return true;  // Receivers keep the last frame when frames stop.
      BuildDmxLevels(config.dmx, lamps, run.levels);
      good = OpenDmxSendFrame(run.openDmx, run.levels);
      if (!good) {
        SetFault(run, Fault::kInterfaceGone, 0);
        OpenDmxClose(run.openDmx);
        run.openDmx = nullptr;
        run.openTriedAt = MonotonicSeconds();
      }
      break;
    case OutputKind::kUsbPro: {
      if (last) return true;  // The widget keeps sending the last frame it was given.
      BuildDmxLevels(config.dmx, lamps, run.levels);
      const size_t length = BuildUsbProDmx(run.levels, kDmxSlots, run.packet, room);
      const int error = length == 0 ? 0 : WriteSerial(run.port, run.packet, length, kUsbProWriteSeconds);
      good = length != 0 && error == 0;
      if (error != 0) {
        // Unplugged, or a widget that takes nothing: opened again after the pause.
        SetFault(run, Fault::kPortWrite, error);
        CloseSerialPort(run.port);
        run.port = -1;
        run.lookedUpAt = MonotonicSeconds();
      }
      break;
    }
  }
  if (good)
    FrameWent(run);
  else
    FrameFailed(run);
  return good;
}

// The output's thread: a send at once, then on each change (at most one
// per frame time) and when the keep-alive is due; the last packets at stop.
// Waits at most seconds for the listener's or the stop's wake-up (a wake
// that came before is kept for it).
void WaitForWake(OutputRun& run, double seconds) {
  GateHold hold(run.wake);
  GateWait(run.wake, seconds);
}

// Returns at `due`: a sleep to a millisecond short of it, then the clock
// watched, since a sleep alone may end a timer tick late and the frame time
// has a window of 2 ms (about 1 ms of a processor a frame).
void WaitUntil(const OutputRun& run, double due) {
  const double left = due - MonotonicSeconds();
  if (left > 0.002) SleepSeconds(left - 0.001);
  while (MonotonicSeconds() < due && !run.stopping.load()) {
  }
}

// Open DMX: the host makes every frame and receivers follow only while
// frames come, so the newest state goes every frame time, changed or not.
// Frames keep to their schedule, but a frame after a late one is shortened
// by at most 1 ms (never below 23 ms), and one late by a whole frame time
// (a slow write, an interface gone) starts the schedule again: no burst.
void RefreshBody(OutputRun& run) {
  double due = MonotonicSeconds();
  while (!run.stopping.load()) {
    Ready(run);  // Opening the interface takes a while: not the frame's time.
    const double started = MonotonicSeconds();
    SendFrame(run, run.wanted.load(), false);
    due += kOpenDmxFrameSeconds;
    if (due < started + kOpenDmxShortestFrameSeconds) due = started + kOpenDmxShortestFrameSeconds;
    if (MonotonicSeconds() > due + kOpenDmxFrameSeconds) due = MonotonicSeconds();
    WaitUntil(run, due);
  }
  OpenDmxClose(run.openDmx);
}

void SenderBody(void* arg) {
  OutputRun& run = *static_cast<OutputRun*>(arg);
  if (run.config.kind == OutputKind::kOpenDmx) return RefreshBody(run);
  const double keepAlive = KeepAliveSeconds(run.config.kind);
  LampBits sentState = run.wanted.load();
  SendFrame(run, sentState, false);
  double sentAt = MonotonicSeconds();
  for (;;) {
    const double since = MonotonicSeconds() - sentAt;
    if (run.stopping.load()) break;
    const LampBits state = run.wanted.load();
    if (state != sentState || since >= keepAlive) {
      if (since < kFrameSeconds) {
        // A change inside the frame time waits it out; then the newest goes.
        WaitForWake(run, kFrameSeconds - since);
        continue;
      }
      sentState = run.wanted.load();
      SendFrame(run, sentState, false);
      sentAt = MonotonicSeconds();
      continue;
    }
    WaitForWake(run, keepAlive - since);
  }
  SendFrame(run, run.wanted.load(), true);
  CloseUdpSender(run.socket);
  OlaClose(run.ola);
  CloseSerialPort(run.port);
}

// "channels 101-132, 2 each" when the lamps follow each other, else each
// lamp's first channel in order ("first channels 1,5,9").
void AddChannels(const DmxMapping& dmx, ShortText* out) {
  bool inOrder = true;
  unsigned mapped = 0;
  for (unsigned lamp = 0; lamp < kLampCount; ++lamp) {
    if (dmx.channel[lamp] != 0) ++mapped;
    if (dmx.channel[lamp] != dmx.channel[0] + lamp * dmx.channelsPerLamp) inOrder = false;
  }
  if (inOrder) {
    out->Add("lamps 0-15 on channels ").AddNumber(dmx.channel[0]).Add("-");
    out->AddNumber(dmx.channel[0] + kLampCount * dmx.channelsPerLamp - 1);
  } else {
    out->Add("lamps 0-").AddNumber(mapped - 1).Add(" from channels ");
    for (unsigned lamp = 0; lamp < mapped; ++lamp) {
      if (lamp > 0) out->Add(",");
      out->AddNumber(dmx.channel[lamp]);
    }
  }
  if (dmx.channelsPerLamp > 1) out->Add(", ").AddNumber(dmx.channelsPerLamp).Add(" each");
  out->Add(", levels ").AddNumber(dmx.onLevel).Add("/").AddNumber(dmx.offLevel);
}

void AddHexByte(uint8_t value, ShortText* out) {
  static const char kDigits[] = "0123456789abcdef";
  const char text[2] = {kDigits[value >> 4], kDigits[value & 0xF]};
  out->Add(text, 2);
}

void AddDescription(const OutputConfig& config, ShortText* text) {
  text->Add(kKindNames[int(config.kind)]);
  if (config.kind == OutputKind::kOla) {
    text->Add(" to olad, universe ").AddNumber(config.universe);
  } else if (config.kind == OutputKind::kOpenDmx) {
    text->Add(" on FTDI interface ").AddNumber(config.ftdiDevice);
  } else if (config.kind == OutputKind::kUsbPro) {
    text->Add(" on ").Add(config.host);
  } else {
    text->Add(" to ").Add(config.host);
    if (config.multicast && std::strcmp(config.host, "multicast") != 0) text->Add(" (multicast)");
    text->Add(" port ").AddNumber(PortOf(config.kind));
  }
  if (config.kind == OutputKind::kSacn) {
    text->Add(", universe ").AddNumber(config.universe).Add(", priority ").AddNumber(config.priority);
  } else if (config.kind == OutputKind::kArtNet) {
    text->Add(", port address ").AddNumber(config.universe).Add(" (").AddNumber(config.universe >> 8);
    text->Add(":").AddNumber((config.universe >> 4) & 0xF).Add(":").AddNumber(config.universe & 0xF).Add(")");
  }
  text->Add(": ");
  if (!IsPixelOutput(config.kind)) return AddChannels(config.dmx, text);
  const PixelMapping& pixels = config.pixels;
  text->Add("lamps 0-15 on pixels ").AddNumber(pixels.startPixel).Add("-");
  text->AddNumber(pixels.startPixel + kLampCount * pixels.pixelsPerLamp - 1);
  text->Add(", ").AddNumber(pixels.pixelsPerLamp).Add(" each, colour ");
  for (int i = 0; i < 3; ++i) AddHexByte(pixels.onColor[i], text);
}

// Appends text to the zero-terminated text in out (size bytes), cut to fit.
void AppendTo(char* out, size_t size, const ShortText& text) {
  const size_t used = std::strlen(out);
  text.CopyTo(out + used, size - used);
}

}  // namespace

void DescribeOutput(const OutputConfig& config, char* text, size_t size) {
  ShortText description;
  AddDescription(config, &description);
  description.CopyTo(text, size);
}

size_t OutputCount() { return RunCount.load(); }

void DescribeRunningOutputs(char* text, size_t size) {
  text[0] = '\0';
  const size_t count = RunCount.load();
  for (size_t i = 0; i < count; ++i) {
    const OutputRun& run = Runs[i];
    // A paragraph in two texts: the description and the fault each fill most of one.
    ShortText description, state;
    if (i > 0) description.Add("\n\n");
    AddDescription(run.config, &description);
    const uint32_t frames = run.framesSent.load();
    state.Add("\n").AddNumber(frames).Add(frames == 1 ? " frame sent" : " frames sent");
    const uint32_t fault = run.fault.load();
    if (fault != 0) {
      state.Add("; now: ");
      AddFaultText(fault, run.socketStep, run.answered.load(), &state);
    }
    AppendTo(text, size, description);
    AppendTo(text, size, state);
  }
}

double KeepAliveSeconds(OutputKind kind) {
  switch (kind) {
    case OutputKind::kSacn:
      return 0.9;  // At least once a second: receivers drop a source after 2.5 s.
    case OutputKind::kArtNet:
      return 2.0;  // Within the 4 s after which nodes may drop a source.
    default:
      return 1.0;  // WLED's timeout byte is 2 s; OLA passes on what it gets.
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
  // Once in the program; again only in tests, after a stop that ended every thread.
  if (Runs != nullptr && Stopped.load() && AllEnded) {
    for (size_t i = 0; i < RunCount.load(); ++i) DeleteGate(Runs[i].wake);
    std::free(Runs);
  }
  RunCount.store(0);
  Stopped.store(false);
  AllEnded = false;
  void* memory = std::calloc(count, sizeof(OutputRun));
  if (memory == nullptr) return;
  Runs = static_cast<OutputRun*>(memory);
  for (size_t i = 0; i < count; ++i) new (&Runs[i]) OutputRun();  // One by one: no array cookie.
  StartNetworking();
  char host[256];
  LocalHostName(host, sizeof host);
  HostComponentId(host, ComponentId);
  for (size_t i = 0; i < count; ++i) {
    OutputRun& run = Runs[i];
    run.config = outputs[i];
    run.socket = -1;
    run.port = -1;
    const bool usbPro = outputs[i].kind == OutputKind::kUsbPro;
    run.named = outputs[i].kind != OutputKind::kOla && outputs[i].kind != OutputKind::kOpenDmx && !usbPro &&
                outputs[i].address == 0;
    run.openTriedAt = -1e9;
    run.name.Add(kKindNames[int(outputs[i].kind)]);
    if (outputs[i].host[0] != '\0') run.name.Add(usbPro ? " on " : " ").Add(outputs[i].host);
    if (outputs[i].kind == OutputKind::kOpenDmx) run.name.Add(" ").AddNumber(outputs[i].ftdiDevice);
    ShortText line;
    AddDescription(run.config, &line);
    PrintConsoleLine(line.c_str());
    run.wake = NewGate();  // Before the thread: its body waits on it.
    run.thread = StartWorker(SenderBody, &run);
    if (run.thread == nullptr) {
      DeleteGate(run.wake);
      PrintConsoleLine("cannot start an output's thread: the outputs after it do not run");
      break;
    }
    RunCount.store(i + 1);
  }
}

void SendLamps(LampBits lamps) {
  const size_t count = RunCount.load();
  for (size_t i = 0; i < count; ++i) {
    Runs[i].wanted.store(lamps);
    GateWake(Runs[i].wake);
  }
}

void StopOutputs() {
  // Once: Windows stops the outputs when the session ends and again on the
  // way out of the message loop, if the process lives that long.
  if (Stopped.exchange(true)) return;
  const size_t count = RunCount.load();
  for (size_t i = 0; i < count; ++i) {
    Runs[i].stopping.store(true);
    GateWake(Runs[i].wake);
  }
  // A receiver that does not answer costs nothing here: sends never block
  // for long, and the wait has a limit.
  const double start = MonotonicSeconds();
  bool allEnded = true;
  for (size_t i = 0; i < count; ++i) {
    const double left = 0.5 - (MonotonicSeconds() - start);
    // A thread that has ended frees its handle; one still sending is left
    // to the end of the process.
    const bool ended = JoinWorker(Runs[i].thread, left > 0 ? left : 0);
    if (ended) Runs[i].thread = nullptr;
    allEnded = ended && allEnded;
  }
  // The runs themselves stay: the listener may still hand over a state.
  AllEnded = allEnded;
}
