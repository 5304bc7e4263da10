// The outputs' pure parts: the packets against byte tables, the lamps'
// mapping and the command line's output words.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "lightnet/ola_link.h"
#include "lightnet/open_dmx.h"
#include "lightnet/output_options.h"
#include "lightnet/outputs.h"
#include "lightnet/packets.h"
#include "lightnet/serial_port.h"
#include "lightnet/usbpro.h"
#include "tests/fakes/local_addresses.h"

namespace {

struct Bytes {
  size_t at;
  std::vector<uint8_t> want;
};

void ExpectBytes(const uint8_t* packet, const std::vector<Bytes>& table) {
  for (const Bytes& row : table)
    for (size_t i = 0; i < row.want.size(); ++i)
      EXPECT_EQ(packet[row.at + i], row.want[i]) << "byte " << row.at + i;
}

OutputOptions Read(const std::string& tail, LocalAddressCheck isLocalAddress = nullptr) {
  OutputOptions options;
  ReadOutputOptions(tail.c_str(), &options, isLocalAddress);
  return options;
}

// Read without a fault; otherwise the fault's word and text.
testing::AssertionResult NoFault(const OutputOptions& options) {
  if (!options.hasError) return testing::AssertionSuccess();
  return testing::AssertionFailure() << options.error.word << ": " << options.error.text;
}

TEST(OutputPackets, SacnLayersAsE131LaysThemOut) {
  uint8_t cid[16];
  for (int i = 0; i < 16; ++i) cid[i] = uint8_t(0xA0 + i);
  uint8_t levels[kDmxSlots] = {};
  levels[0] = 0xFF;
  levels[511] = 0x80;
  uint8_t packet[kSacnPacketSize + 8];
  std::memset(packet, 0xEE, sizeof packet);
  const SacnFrame frame{cid, "Pipe Server Vantrelle", 100, 7, true, 0x0102};
  ASSERT_EQ(BuildSacnPacket(frame, levels, packet, sizeof packet), 638u);
  ExpectBytes(packet, {
      {0, {0x00, 0x10, 0x00, 0x00, 'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0}},
      {16, {0x72, 0x6E, 0x00, 0x00, 0x00, 0x04}},  // Root: flags and 622 bytes, VECTOR_ROOT_E131_DATA.
      {22, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF}},
      {38, {0x72, 0x58, 0x00, 0x00, 0x00, 0x02}},  // Framing: 600 bytes, VECTOR_E131_DATA_PACKET.
      {44, {'P', 'i', 'p', 'e', ' ', 'S', 'e', 'r', 'v', 'e', 'r', ' ', 'V', 'a', 'n', 't', 'r', 'e', 'l', 'l', 'e', 0}},
      {107, {0x00, 100, 0x00, 0x00, 7, 0x40, 0x01, 0x02}},  // Name's end, priority, sync, sequence, terminated, universe.
      {115, {0x72, 0x0B, 0x02, 0xA1, 0x00, 0x00, 0x00, 0x01, 0x02, 0x01, 0x00, 0xFF}},  // DMP: 523 bytes ... slot 1.
      {637, {0x80, 0xEE}},  // Slot 512, then nothing written.
  });
  const SacnFrame running{cid, "x", 200, 255, false, 63999};
  BuildSacnPacket(running, levels, packet, sizeof packet);
  ExpectBytes(packet, {{108, {200, 0, 0, 255, 0x00, 0xF9, 0xFF}}});
}

TEST(OutputPackets, SacnNameCutToKeepItsZero) {
  uint8_t cid[16] = {}, levels[kDmxSlots] = {}, packet[kSacnPacketSize];
  const std::string longName(80, 'n');
  BuildSacnPacket(SacnFrame{cid, longName.c_str(), 100, 0, false, 1}, levels, packet, sizeof packet);
  EXPECT_EQ(packet[44 + 62], 'n');
  EXPECT_EQ(packet[44 + 63], 0);
}

TEST(OutputPackets, MulticastGroupOfUniverse) {
  EXPECT_EQ(SacnMulticastGroup(1), 0xEFFF0001u);
  EXPECT_EQ(SacnMulticastGroup(0x1234), 0xEFFF1234u);
  EXPECT_EQ(SacnMulticastGroup(63999), 0xEFFFF9FFu);
}

TEST(OutputPackets, ArtDmx) {
  uint8_t levels[kDmxSlots] = {};
  levels[2] = 0x33;
  uint8_t packet[kArtDmxPacketSize];
  ASSERT_EQ(BuildArtDmxPacket(0x7123, 5, levels, packet, sizeof packet), 530u);
  ExpectBytes(packet, {
      {0, {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x50, 0x00, 14}},  // OpDmx low byte first, version 14.
      {12, {5, 0, 0x23, 0x71, 0x02, 0x00, 0x00, 0x00, 0x33}},  // Sequence, physical, SubUni, Net, length 512.
  });
}

struct WledCase {
  const char* name;
  uint8_t timeout;
  uint16_t start;
  size_t pixels;
  size_t size;
  std::vector<Bytes> bytes;
};

TEST(OutputPackets, WledRealtime) {
  std::vector<uint8_t> rgb(600 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i);
  const WledCase cases[] = {
      {"DRGB from pixel 0", 2, 0, 2, 8, {{0, {2, 2, 0, 1, 2, 3, 4, 5}}}},
      {"DRGB at its most", 2, 0, 490, 2 + 490 * 3, {{0, {2, 2}}}},
      {"DNRGB past DRGB's length", 2, 0, 491, 4 + 489 * 3, {{0, {4, 2, 0, 0, 0, 1}}}},
      {"DNRGB from pixel 1 at its most", 2, 1, 600, 4 + 489 * 3, {{0, {4, 2, 0, 1, 0, 1}}}},
      {"DNRGB with a start index", 1, 300, 1, 7, {{0, {4, 1, 0x01, 0x2C, 0, 1, 2}}}},
      {"handing back: timeout 0", 0, 0, 1, 5, {{0, {2, 0, 0, 1, 2}}}},
  };
  for (const WledCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Exactly the largest packet's room, so that ASan sees a byte past it.
    std::vector<uint8_t> packet(kWledMaxPacketSize);
    EXPECT_EQ(BuildWledPacket(c.timeout, c.start, rgb.data(), c.pixels, packet.data(), packet.size()), c.size);
    EXPECT_LE(c.size, kMaxPacketSize);
    ExpectBytes(packet.data(), c.bytes);
  }
}

// Each builder's largest packet fits the senders' buffer; one byte less
// room and it writes nothing and returns 0.
TEST(OutputPackets, RefusedWhenTheBufferIsTooSmall) {
  std::vector<uint8_t> rgb(490 * 3), levels(kDmxSlots);
  std::vector<uint8_t> packet(kMaxPacketSize);
  const uint8_t cid[16] = {};
  uint8_t* out = packet.data();
  const struct {
    const char* name;
    size_t largest;
    std::function<size_t(size_t room)> build;
  } cases[] = {
      {"sACN", kSacnPacketSize,
       [&](size_t room) { return BuildSacnPacket(SacnFrame{cid, "n", 100, 0, false, 1}, levels.data(), out, room); }},
      {"ArtDmx", kArtDmxPacketSize, [&](size_t room) { return BuildArtDmxPacket(1, 1, levels.data(), out, room); }},
      {"DRGB, 490 pixels", 2 + 490 * 3, [&](size_t room) { return BuildWledPacket(2, 0, rgb.data(), 490, out, room); }},
      {"DNRGB, 489 pixels", 4 + 489 * 3, [&](size_t room) { return BuildWledPacket(2, 7, rgb.data(), 489, out, room); }},
      {"DDP, 1440 bytes", kDdpPacketSize, [&](size_t room) { return BuildDdpPacket(1, 0, true, rgb.data(), 1440, out, room); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::fill(packet.begin(), packet.end(), 0xEE);
    EXPECT_EQ(c.build(c.largest - 1), 0u);
    EXPECT_EQ(packet[0], 0xEE) << "nothing written";
    EXPECT_EQ(c.build(kMaxPacketSize), c.largest);
  }
}

TEST(OutputPackets, Ddp) {
  const uint8_t rgb[6] = {1, 2, 3, 4, 5, 6};
  uint8_t packet[kDdpPacketSize];
  ASSERT_EQ(BuildDdpPacket(3, 0x010203, true, rgb, 6, packet, sizeof packet), 16u);
  ExpectBytes(packet, {{0, {0x41, 3, 0x0B, 0x01, 0x00, 0x01, 0x02, 0x03, 0x00, 0x06, 1, 2, 3, 4, 5, 6}}});
  std::vector<uint8_t> big(2000);
  EXPECT_EQ(BuildDdpPacket(15, 0, false, big.data(), big.size(), packet, sizeof packet), 10u + 1440u);
  ExpectBytes(packet, {{0, {0x40, 15}}, {8, {0x05, 0xA0}}});
}

TEST(OutputMapping, DmxLevels) {
  DmxMapping mapping{};
  for (unsigned lamp = 0; lamp < kLampCount; ++lamp) mapping.channel[lamp] = uint16_t(10 + 3 * lamp);
  mapping.channelsPerLamp = 3;
  mapping.onLevel = 200;
  mapping.offLevel = 7;
  uint8_t levels[kDmxSlots];
  BuildDmxLevels(mapping, 0x8001, levels);  // Lamps 0 and 15.
  EXPECT_EQ(levels[8], 0);                       // Channel 9: not the lamps'.
  EXPECT_EQ(levels[9], 200);                     // Lamp 0: channels 10 to 12.
  EXPECT_EQ(levels[11], 200);
  EXPECT_EQ(levels[12], 7);                      // Lamp 1, unlit.
  EXPECT_EQ(levels[10 + 45 - 1], 200);           // Lamp 15: channels 55 to 57.
  EXPECT_EQ(levels[56], 200);
  EXPECT_EQ(levels[57], 0);
  mapping.channel[15] = 0;  // Not in an explicit list: left alone.
  BuildDmxLevels(mapping, 0x8000, levels);
  EXPECT_EQ(levels[54], 0);
}

TEST(OutputMapping, Pixels) {
  const PixelMapping mapping{5, 2, {0xFF, 0xA0, 0x00}};
  uint8_t rgb[kMaxPixels * 3];
  ASSERT_EQ(BuildPixels(mapping, 0x0002, rgb), 32u);  // Lamp 1 lit: pixels 2 and 3 of the run.
  const uint8_t want[4 * 3] = {0, 0, 0, 0, 0, 0, 0xFF, 0xA0, 0x00, 0xFF, 0xA0, 0x00};
  EXPECT_EQ(std::memcmp(rgb, want, sizeof want), 0);
  EXPECT_EQ(rgb[4 * 3], 0);
}

TEST(OutputIdentity, ComponentIdStablePerHost) {
  uint8_t a[16], b[16], c[16];
  HostComponentId("studio", a);
  HostComponentId("studio", b);
  HostComponentId("stage", c);
  EXPECT_EQ(std::memcmp(a, b, 16), 0);
  EXPECT_NE(std::memcmp(a, c, 16), 0);
  EXPECT_EQ(a[6] >> 4, 8);      // Version 8.
  EXPECT_EQ(a[8] & 0xC0, 0x80);  // RFC variant.
}

struct GoodCase {
  const char* tail;
  OutputKind kind;
  uint32_t address;
  bool multicast;
  uint32_t universe;
  uint16_t firstChannel, lastChannel;  // Lamp 0's and lamp 15's.
};

TEST(OutputOptionsRead, WordsThatNameOutputs) {
  const GoodCase cases[] = {
      {"-p 0 --sacn 239.255.0.1 --universe 1 --start 1", OutputKind::kSacn, 0xEFFF0001u, true, 1, 1, 16},
      {"--sacn multicast --universe 258", OutputKind::kSacn, 0xEFFF0102u, true, 258, 1, 16},
      {"--sacn 10.1.2.3 --start 100 --channels-per-lamp 3", OutputKind::kSacn, 0x0A010203u, false, 1, 100, 147},
      {"--artnet broadcast", OutputKind::kArtNet, 0xFFFFFFFFu, false, 0, 1, 16},
      {"--artnet 2.0.0.9 --universe 32767 --start 497", OutputKind::kArtNet, 0x02000009u, false, 32767, 497, 512},
      {"--artnet 2.0.0.9 --universe 1:2:3", OutputKind::kArtNet, 0x02000009u, false, 0x123, 1, 16},
      {"--wled strip.local --pixels-per-lamp 10 --color ffa000", OutputKind::kWled, 0, false, 1, 0, 0},
      {"-p 378 --ddp 192.168.1.50", OutputKind::kDdp, 0xC0A80132u, false, 1, 0, 0},
      // The port's address read whole by the port rule, in each of its forms.
      {"-P +0X3bC --wled 10.0.0.1", OutputKind::kWled, 0x0A000001u, false, 1, 0, 0},
      {"-p -01 --wled 10.0.0.1", OutputKind::kWled, 0x0A000001u, false, 1, 0, 0},
      // A group named as the address is sent to as named when it is the universe's.
      {"--sacn 239.255.1.2 --universe 258", OutputKind::kSacn, 0xEFFF0102u, true, 258, 1, 16},
      {"--sacn multicast --interface 10.77.0.1 --universe 0000000000007", OutputKind::kSacn, 0xEFFF0007u, true, 7, 1,
       16},
      {"--sacn 10.0.0.1 --channels 1,4,7 --channels-per-lamp 3", OutputKind::kSacn, 0x0A000001u, false, 1, 1, 2},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.tail);
    const OutputOptions options = Read(c.tail, FakeIsLocalAddress);
    EXPECT_TRUE(NoFault(options));
    ASSERT_EQ(options.count, 1u);
    const OutputConfig& out = options.outputs[0];
    EXPECT_EQ(out.kind, c.kind);
    EXPECT_EQ(out.address, c.address);
    EXPECT_EQ(out.multicast, c.multicast);
    EXPECT_EQ(out.universe, c.universe);
    if (!IsPixelOutput(c.kind)) {
      EXPECT_EQ(out.dmx.channel[0], c.firstChannel);
      EXPECT_EQ(out.dmx.channel[15] + out.dmx.channelsPerLamp - 1, c.lastChannel);  // Unlisted: 0 + span - 1.
      EXPECT_EQ(out.dmx.onLevel, 255);
      EXPECT_EQ(out.dmx.offLevel, 0);
      EXPECT_EQ(out.priority, 100);
    }
  }
}

TEST(OutputOptionsRead, EachOutputItsOwnOptions) {
  const OutputOptions options = Read("--sacn 10.0.0.1 --universe 5 --on 128 --off 3 --priority 150 --channels 3,1 "
                                     "--wled 10.0.0.2 --color 0a0B0c --start-pixel 40 --artnet 10.0.0.3 --universe 7 "
                                     "--start 10");
  ASSERT_TRUE(NoFault(options));
  ASSERT_EQ(options.count, 3u);
  const OutputConfig& sacn = options.outputs[0];
  EXPECT_EQ(sacn.universe, 5u);
  EXPECT_EQ(sacn.dmx.onLevel, 128);
  EXPECT_EQ(sacn.dmx.offLevel, 3);
  EXPECT_EQ(sacn.priority, 150);
  EXPECT_EQ(sacn.dmx.channel[0], 3);
  EXPECT_EQ(sacn.dmx.channel[1], 1);
  EXPECT_EQ(sacn.dmx.channel[2], 0);  // Unlisted.
  const OutputConfig& wled = options.outputs[1];
  EXPECT_EQ(wled.pixels.startPixel, 40);
  EXPECT_EQ(wled.pixels.onColor[0], 0x0A);
  EXPECT_EQ(wled.pixels.onColor[2], 0x0C);
  EXPECT_EQ(options.outputs[2].universe, 7u);
  EXPECT_EQ(options.outputs[2].dmx.channel[0], 10);
}

TEST(OutputOptionsRead, OlaOnlyWhereBuiltWithLibola) {
  const OutputOptions options = Read("--ola 3 --start 5");
  EXPECT_EQ(options.hasError, !OlaInThisBuild());
  EXPECT_EQ(options.count, OlaInThisBuild() ? 1u : 0u);
}

// The device index is optional (0, the first interface); the Linux
// program refuses the output and points at OLA, naming the words written.
TEST(OutputOptionsRead, OpenDmxDeviceOnlyWhereBuilt) {
  const struct {
    const char* tail;
    uint16_t device;
    const char* word;
  } cases[] = {
      {"--opendmx", 0, "--opendmx"},
      {"--opendmx --start 3", 0, "--opendmx"},
      {"--opendmx 5 --channels-per-lamp 2", 5, "--opendmx 5"},
      {"-p 378 --opendmx 127", 127, "--opendmx 127"},
      {"--opendmx 007", 7, "--opendmx 007"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tail);
    const OutputOptions options = Read(c.tail);
    if (OpenDmxInThisBuild()) {
      ASSERT_TRUE(NoFault(options));
      ASSERT_EQ(options.count, 1u);
      EXPECT_EQ(options.outputs[0].kind, OutputKind::kOpenDmx);
      EXPECT_EQ(options.outputs[0].ftdiDevice, c.device);
    } else {
      EXPECT_EQ(options.count, 0u);
      EXPECT_EQ(std::string(options.error.word), c.word);
      EXPECT_NE(std::string(options.error.text).find("--ola"), std::string::npos) << options.error.text;
    }
  }
  // One interface, one output; two interfaces, two.
  const OutputOptions options = Read("--opendmx --opendmx 1 --opendmx 0");
  EXPECT_TRUE(options.hasError);
  if (OpenDmxInThisBuild()) {
    EXPECT_STREQ(options.error.word, "--opendmx 0");
    EXPECT_NE(std::string(options.error.text).find("named twice"), std::string::npos) << options.error.text;
    EXPECT_EQ(options.count, 2u);
  }
}

// A tail without a word that begins with "--" is the port rule's alone,
// whatever its words; one with such a word is read word by word.
TEST(OutputOptionsRead, PortWordsAndPlainTailsNameNoOutput) {
  const struct {
    const char* tail;
    bool fault;
  } cases[] = {
      {"", false}, {"-p 378", false}, {"-P 3bc", false}, {"-p 378 abc", false}, {"/p 378", false},
      {"-p  78", false}, {"-h", false}, {"-x 378", false}, {"-p 378 x--y -universe 7", false},
      {"-p 378 --help", false},
      {"-p -- 378", true},   // "--" is no port address.
      {"-p 378 --", true},   // "--" alone: an option's shape, no option.
      {"/p 378 --help", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tail);
    const OutputOptions options = Read(c.tail);
    EXPECT_EQ(options.count, 0u);
    EXPECT_EQ(options.hasError, c.fault);
  }
}

std::string Trim(std::string s) {
  s.erase(0, s.find_first_not_of(" \t\r\n"));
  s.erase(s.find_last_not_of(" \t\r\n") + 1);
  return s;
}

size_t OutputWords(const std::string& tail) {
  size_t count = 0;
  for (const char* word : {"--sacn ", "--artnet ", "--wled ", "--ddp ", "--ola "})
    for (size_t at = tail.find(word); at != std::string::npos; at = tail.find(word, at + 1)) ++count;
  return count;
}

// The front ends' table: every line's fault names its word, and only the
// output at fault is left out: a good output after it still runs, unless
// it would be a ninth.
TEST(OutputOptionsRead, BadInputTable) {
  FILE* file = std::fopen(PIPESERVER_BAD_OUTPUTS, "r");
  ASSERT_NE(file, nullptr);
  char line[1024];
  int rows = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text(line);
    ASSERT_EQ(text.back(), '\n') << "a line longer than the test reads: " << text;
    if (text[0] == '#' || text[0] == '\n') continue;
    const size_t bar = text.find('|');
    ASSERT_NE(bar, std::string::npos) << text;
    const std::string tail = Trim(text.substr(0, bar));
    const size_t second = text.find('|', bar + 1);
    const std::string word = Trim(text.substr(bar + 1, second == std::string::npos ? second : second - bar - 1));
    const std::string when = second == std::string::npos ? "" : Trim(text.substr(second + 1));
    SCOPED_TRACE(tail);
    OutputOptions options;
    // The platform's own port check, as the front ends pass it: the table's
    // ports are ones no test machine has.
    ReadOutputOptions((tail + " --ddp 10.9.9.9").c_str(), &options, FakeIsLocalAddress, CheckSerialPort);
    if (when == "start-up" && OpenDmxInThisBuild()) {
      // Right as written: the program finds the fault when it starts.
      EXPECT_TRUE(NoFault(options));
      EXPECT_EQ(options.count, 2u);
      ++rows;
      continue;
    }
    EXPECT_TRUE(options.hasError);
    EXPECT_EQ(std::string(options.error.word), word);
    EXPECT_NE(options.error.text[0], '\0');
    const bool full = OutputWords(tail) >= kMaxOutputs;
    ASSERT_EQ(options.count >= 1, true);
    EXPECT_EQ(std::string(options.outputs[options.count - 1].host) == "10.9.9.9", !full);
    for (size_t i = 0; i + 1 < options.count; ++i) EXPECT_STRNE(options.outputs[i].host, "10.9.9.9");
    // Without the output after it, the fault is the same.
    OutputOptions alone;
    ReadOutputOptions(tail.c_str(), &alone, FakeIsLocalAddress, CheckSerialPort);
    EXPECT_EQ(std::string(alone.error.word), word);
    ++rows;
  }
  std::fclose(file);
  EXPECT_GE(rows, 39);
}

// The DMX USB Pro's messages against the widget's published framing.
TEST(UsbProMessages, ParametersRequestAndDmxFrame) {
  uint8_t out[kUsbProDmxMessageSize];
  ASSERT_EQ(BuildUsbProParametersRequest(out, sizeof out), 7u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 7), (std::vector<uint8_t>{0x7E, 3, 2, 0, 0, 0, 0xE7}));
  uint8_t levels[512];
  for (int i = 0; i < 512; ++i) levels[i] = uint8_t(i * 7);
  ASSERT_EQ(BuildUsbProDmx(levels, 512, out, sizeof out), 518u);
  ExpectBytes(out, {{0, {0x7E, 6, 0x01, 0x02, 0}}, {517, {0xE7}}});  // 513 data bytes, start code 0.
  EXPECT_EQ(std::memcmp(out + 5, levels, 512), 0);
  ASSERT_EQ(BuildUsbProDmx(levels, 24, out, sizeof out), 30u);
  ExpectBytes(out, {{0, {0x7E, 6, 25, 0, 0, 0, 7, 14}}, {29, {0xE7}}});
  // Refused, nothing written past the buffer: too small, no slots, too many.
  uint8_t small[517];
  std::memset(small, 0xAA, sizeof small);
  EXPECT_EQ(BuildUsbProDmx(levels, 512, small, sizeof small), 0u);
  EXPECT_EQ(BuildUsbProParametersRequest(small, 6), 0u);
  EXPECT_EQ(small[0], 0xAA);
  EXPECT_EQ(BuildUsbProDmx(levels, 0, out, sizeof out), 0u);
  EXPECT_EQ(BuildUsbProDmx(levels, 513, out, 1024), 0u);
  EXPECT_EQ(BuildUsbProMessage(9, nullptr, 0, out, sizeof out), 5u);
  ExpectBytes(out, {{0, {0x7E, 9, 0, 0, 0xE7}}});
}

// The parameters answer is found whole and well formed, after noise or a
// broken message; anything less is no answer.
TEST(UsbProMessages, ParametersAnswer) {
  const std::vector<uint8_t> good = {0x7E, 3, 5, 0, 0x2C, 0x01, 9, 1, 40, 0xE7};
  auto with = [&](std::vector<uint8_t> before, std::vector<uint8_t> after = {}) {
    before.insert(before.end(), good.begin(), good.end());
    before.insert(before.end(), after.begin(), after.end());
    return before;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    bool found;
  } cases[] = {
      {"the answer alone", good, true},
      {"after noise", with({'O', 'K', 0x7E}), true},
      {"after a broken label-3 message", with({0x7E, 3, 5, 0, 1, 2}), true},
      {"followed by more", with({}, {0x7E, 5}), true},
      {"with user configuration bytes", {0x7E, 3, 7, 0, 0x2C, 0x01, 9, 1, 40, 0xAB, 0xCD, 0xE7}, true},
      {"cut short", std::vector<uint8_t>(good.begin(), good.end() - 1), false},
      {"wrong end byte", {0x7E, 3, 5, 0, 0x2C, 0x01, 9, 1, 40, 0xE6}, false},
      {"too short for the parameters", {0x7E, 3, 4, 0, 0x2C, 0x01, 9, 1, 0xE7}, false},
      {"another label", {0x7E, 6, 5, 0, 0x2C, 0x01, 9, 1, 40, 0xE7}, false},
      {"our own request echoed", {0x7E, 3, 2, 0, 0, 0, 0xE7}, false},
      {"nothing", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UsbProParameters parameters{};
    ASSERT_EQ(FindUsbProParameters(c.bytes.data(), c.bytes.size(), &parameters), c.found);
    if (!c.found) continue;
    EXPECT_EQ(parameters.firmware, 0x012C);
    EXPECT_EQ(parameters.breakTime, 9);
    EXPECT_EQ(parameters.markAfterBreak, 1);
    EXPECT_EQ(parameters.rate, 40);
  }
}

// Port names of each platform's shape, and the path Windows opens.
TEST(UsbProMessages, PortNames) {
  const struct {
    const char* name;
    bool windows, good;
  } cases[] = {
      {"COM3", true, true},          {"com12", true, true},         {"\\\\.\\COM12", true, true},
      {"COM255", true, true},        {"COM256", true, false},       {"COM0", true, false},
      {"COM03", true, false},        {"COM", true, false},          {"COM3;x", true, false},
      {"/dev/ttyUSB0", true, false}, {"\\\\.\\LPT1", true, false}, {"", true, false},
      {"/dev/ttyUSB0", false, true}, {"/dev/serial/by-id/usb-DMX_Pro_EN1234-if00-port0", false, true},
      {"ttyACM0", false, true},      {"COM3;x", false, false},      {"/dev/tty USB0", false, false},
      {"/dev/tty$USB", false, false}, {"", false, false},
      {"/dev/serial/by-id/a-name-of-sixty-four-characters-which-is-too-long-x", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.windows ? " (Windows)" : " (Linux)"));
    EXPECT_EQ(UsbProPortNameFault(c.name, std::strlen(c.name), c.windows) == nullptr, c.good);
  }
  char path[16];
  ASSERT_TRUE(WindowsDevicePath("COM3", path, sizeof path));
  EXPECT_STREQ(path, "\\\\.\\COM3");
  ASSERT_TRUE(WindowsDevicePath("\\\\.\\COM12", path, sizeof path));
  EXPECT_STREQ(path, "\\\\.\\COM12");
  EXPECT_FALSE(WindowsDevicePath("COM123", path, 10));
}

struct MessageCase {
  const char* tail;
  const char* word;
  const char* text;
};

// What the user reads: the word and the rule it breaks.
TEST(OutputOptionsRead, FaultsSayTheRule) {
  const MessageCase cases[] = {
      {"--sacn 127.0.0.1 -universe 7", "-universe", "not an option: options begin with two dashes (--universe)"},
      {"--sacn 127.0.0.1 --universe 7 8", "8", "not an option, nor the value of one (--universe takes one value)"},
      {"--sacn 10.0.0.1 --channels 1 2", "2",
       "not an option, nor the value of one (--channels takes one value: its list without blanks, as 1,5,9)"},
      {"--help now", "now", "not an option, nor the value of one (--help takes no value)"},
      {"abc --wled 10.0.0.1", "abc", "not an option, nor the value of one (options begin with --)"},
      {"--sacn 127.0.0.1 -p 378", "-p", "not first: the port's -p ADDRESS must come first, before the outputs"},
      {"-p --sacn 10.0.0.1", "-p", "needs the port's address (hexadecimal, as 378) before the outputs"},
      {"-P 0x --sacn 10.0.0.1", "-P 0x", "not a port address (hexadecimal, as 378)"},
      {"--sacn=10.0.0.1", "--sacn=10.0.0.1", "not an option: a value follows its option after a blank, not '='"},
      {"--sacn-x 1", "--sacn-x", "not an option (--help lists them)"},
      {"--sacn 239.1.2.3 --universe 5", "--sacn 239.1.2.3",
       "not universe 5's group 239.255.0.5 (write --sacn multicast)"},
      {"--sacn 239.255.0.7", "--sacn 239.255.0.7",
       "not universe 1's group 239.255.0.1 (write --sacn multicast, or --universe 7 for this group)"},
      {"--sacn multicast --interface 10.77.0.9", "--interface 10.77.0.9",
       "not an address of this computer (--interface takes the address of one of its interfaces)"},
      {"--sacn 10.0.0.1 --interface 10.77.0.1", "--interface 10.77.0.1",
       "only for sACN multicast: a unicast output leaves by the route to its receiver"},
      {"--sacn multicast --interface 0.0.0.0", "--interface 0.0.0.0",
       "no interface's address (leave --interface out for the system's choice)"},
      {"--sacn 10.0.0.1 --universe 2 --universe 3", "--universe", "given twice for this output"},
      {"--sacn 10.0.0.1 --channels 4,2,4", "--channels 4,2,4", "channel 4 given to lamp 0 and to lamp 2: each channel one lamp"},
      {"--sacn 10.0.0.1 --channels 10,1 --channels-per-lamp 10", "--channels-per-lamp 10",
       "lamp 0 (channels 10-19) and lamp 1 (1-10) overlap: each channel one lamp"},
      {"--sacn 10.0.0.1 --channels 1,2 --start 5", "--start",
       "with --channels: --start and --channels both set the lamps' channels; give one"},
      {"--artnet 10.0.0.1 --universe 0:0:1 --artnet 10.0.0.1 --universe 1", "--artnet 10.0.0.1",
       "named twice: an output before it has the same kind, destination and universe"},
      {"--sacn Desk --sacn desk", "--sacn desk",
       "named twice: an output before it has the same kind, destination and universe"},
      // Not in the front ends' table: the first would send to the group.
      {"--sacn multicast --universe 9 --sacn 239.255.0.9 --universe 9", "--sacn 239.255.0.9",
       "named twice: an output before it has the same kind, destination and universe"},
      {"--artnet broadcast --artnet 255.255.255.255", "--artnet 255.255.255.255",
       "named twice: an output before it has the same kind, destination and universe"},
      {"--wled strip --pixels-per-lamp 2 --wled strip --start-pixel 31", "--wled strip",
       "named twice: an output before it sends the same pixels to the same receiver"},
      {"--universe 1234567890", "--universe", "comes before any output (--sacn, --artnet, --wled, --ddp, --ola, --usbpro)"},
      // Port names of both platforms' shape (no port check here).
      {"--usbpro COM3 --universe 2", "--universe", "not an option of this output; it belongs to --sacn, --artnet and --ola"},
      {"--usbpro COM3 --color ff0000", "--color", "not an option of this output; it belongs to --wled and --ddp"},
      {"--usbpro", "--usbpro", "needs a value"},
      {"--usbpro COM4 --usbpro com4 --start 9", "--usbpro com4",
       "named twice: an output before it has the same kind, destination and universe"},
      {"--sacn 10.0.0.1 --universe 1234567890", "--universe 1234567890", "the sACN universe out of range (1-63999)"},
      {"--sacn 10.0.0.1 --priority 99999999999999999999", "--priority 99999999999999999999",
       "the priority out of range (0-200)"},
      {"--artnet 10.0.0.1 --universe 4294967296:0:0", "--universe 4294967296:0:0",
       "out of range (net 0-127, sub-net 0-15, universe 0-15)"},
      {"--artnet 10.0.0.1 --channels 9999999999", "--channels 9999999999", "a channel out of range (1-512)"},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.tail);
    const OutputOptions options = Read(c.tail, FakeIsLocalAddress);
    ASSERT_TRUE(options.hasError);
    EXPECT_STREQ(options.error.word, c.word);
    EXPECT_STREQ(options.error.text, c.text);
  }
}

// Numbers are written as digits only: what the tools' number reader would
// also take (a sign, a point, an exponent, hexadecimal, words) is no number
// here, and any run of digits is one, however long.
TEST(OutputOptionsRead, NumbersAreDigitsOnly) {
  const std::string zeros(300, '0');
  const struct {
    std::string value;  // Of --on, on an sACN output.
    const char* text;   // The fault; null: read, as 255.
  } cases[] = {
      {"+5", "not a number, for the level"},  {"5.0", "not a number, for the level"},
      {"5e1", "not a number, for the level"}, {"0x10", "not a number, for the level"},
      {"-0", "not a number, for the level"},  {"inf", "not a number, for the level"},
      {"nan", "not a number, for the level"}, {"25 5", "not an option, nor the value of one (--on takes one value)"},
      {zeros + "255", nullptr},               {zeros + "256", "the level out of range (0-255)"},
      {"9" + zeros, "the level out of range (0-255)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value.substr(0, 20));
    const OutputOptions options = Read("--sacn 10.0.0.1 --on " + c.value);
    if (c.text == nullptr) {
      ASSERT_TRUE(NoFault(options));
      EXPECT_EQ(options.outputs[0].dmx.onLevel, 255);
      continue;
    }
    ASSERT_TRUE(options.hasError);
    EXPECT_STREQ(options.error.text, c.text);
    if (c.value.find(' ') == std::string::npos) {  // The word, cut to its field.
      EXPECT_EQ(options.error.word, ("--on " + c.value).substr(0, sizeof options.error.word - 1));
    }
  }
}

TEST(OutputOptionsRead, AtMostEightOutputs) {
  std::string tail;
  for (int i = 1; i <= 10; ++i) tail += " --sacn 10.0.0." + std::to_string(i);
  OutputOptions options = Read(tail);
  EXPECT_STREQ(options.error.word, "--sacn 10.0.0.9");
  EXPECT_STREQ(options.error.text, "a ninth output: at most 8");
  ASSERT_EQ(options.count, 8u);
  EXPECT_STREQ(options.outputs[7].host, "10.0.0.8");
  // A faulty output counts: the outputs named, not the ones kept.
  options = Read(" --wled 0.0.0.0" + tail.substr(0, tail.find(" --sacn 10.0.0.9")));
  EXPECT_STREQ(options.error.word, "--wled 0.0.0.0");
  ASSERT_EQ(options.count, 7u);
  EXPECT_STREQ(options.outputs[6].host, "10.0.0.7");
}

// What stays allowed: outputs that differ in a way that matters, each
// option once per output, the program's own flags anywhere.
TEST(OutputOptionsRead, DifferentOutputsAndProgramFlags) {
  OutputOptions options = Read("--no-window --sacn 10.0.0.1 --universe 1 --sacn 10.0.0.1 --universe 2 --artnet 10.0.0.1 "
                               "--universe 1 --wled strip --wled strip --start-pixel 16 --ddp strip --version "
                               "--sacn multicast --universe 3 --interface 127.0.0.1 --on 9 --off 8",
                               FakeIsLocalAddress);
  ASSERT_TRUE(NoFault(options));
  EXPECT_EQ(options.count, 7u);
  EXPECT_TRUE(options.noWindow);
  EXPECT_TRUE(options.version);
  EXPECT_FALSE(options.help);
  EXPECT_EQ(options.outputs[6].interfaceAddress, 0x7F000001u);
  EXPECT_EQ(options.outputs[6].address, 0xEFFF0003u);
  if (OlaInThisBuild()) {  // OLA's outputs: one destination, the local olad.
    options = Read("--ola 3 --ola 4 --ola 3");
    EXPECT_STREQ(options.error.word, "--ola 3");
    EXPECT_EQ(options.count, 2u);
  }
  // No check given, no address refused; the check given, only its own.
  EXPECT_FALSE(Read("--sacn multicast --interface 10.1.2.3").hasError);
  EXPECT_TRUE(Read("--sacn multicast --interface 10.1.2.3", FakeIsLocalAddress).hasError);
}

// --help and --version answer on the console before any window; neither
// names an output, and neither takes the port rule's words from it.
TEST(OutputOptionsRead, HelpAndVersionAreWordsOfTheirOwn) {
  struct Case {
    const char* tail;
    bool help, version, error;
  };
  for (const Case& c : {Case{"--version", false, true, false}, Case{"-p 378 --version", false, true, false},
                        Case{"--help", true, false, false}, Case{"--versions", false, false, true},
                        Case{"-version", false, false, false}}) {
    SCOPED_TRACE(c.tail);
    const OutputOptions options = Read(c.tail);
    EXPECT_EQ(options.help, c.help);
    EXPECT_EQ(options.version, c.version);
    EXPECT_EQ(options.hasError, c.error);
    EXPECT_EQ(options.count, 0u);
  }
}

}  // namespace
