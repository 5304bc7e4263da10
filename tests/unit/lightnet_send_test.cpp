// The outputs' senders through their own code path (StartOutputs,
// SendLamps, StopOutputs) over the fake network: every packet in the
// senders' own buffer at the largest settings the options accept, the last
// packets, lookups and faults, and what the "Outputs..." item shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lightnet/output_options.h"
#include "lightnet/outputs.h"
#include "lightnet/packets.h"
#include "platform/clock.h"
#include "lightnet/usbpro.h"
#include "tests/fakes/fake_network.h"
#include "tests/fakes/fake_serial.h"

namespace {

// The options as the program reads them, each output started.
void Start(const char* tail) {
  static OutputOptions options;
  ReadOutputOptions(tail, &options);
  ASSERT_FALSE(options.hasError) << tail << ": " << options.error.word << ": " << options.error.text;
  StartOutputs(options.outputs, options.count);
}

// Polls until done() or seconds have passed.
template <typename Done>
bool Within(double seconds, Done done) {
  const double end = MonotonicSeconds() + seconds;
  while (!done()) {
    if (MonotonicSeconds() > end) return false;
    SleepSeconds(0.005);
  }
  return true;
}

// A strip's pixels with the lamps of value lit in colour.
std::vector<uint8_t> Strip(unsigned value, unsigned start, unsigned perLamp, const uint8_t colour[3]) {
  std::vector<uint8_t> rgb((start + 16 * perLamp) * 3, 0);
  for (unsigned lamp = 0; lamp < 16; ++lamp)
    if ((value >> lamp) & 1)
      for (unsigned k = 0; k < perLamp; ++k)
        std::copy(colour, colour + 3, rgb.begin() + long((start + lamp * perLamp + k) * 3));
  return rgb;
}

// How many of the lines said so far hold the text.
size_t LinesSaying(const std::string& text) {
  size_t count = 0;
  for (const std::string& line : fake_network::Lines()) count += line.find(text) != std::string::npos;
  return count;
}

// What the "Outputs..." item shows now.
std::string Described() {
  char text[1024];
  DescribeRunningOutputs(text, sizeof text);
  return text;
}

class Senders : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_network::Reset();
    fake_serial::Reset();
  }
  void TearDown() override { StopOutputs(); }
};

struct StripCase {
  const char* tail;
  bool ddp;
  unsigned start, perLamp;
};

// A strip of up to 1,600 pixels, from pixel 0 and past it, with an Art-Net
// output beside it whose packets must stay ArtDmx to its own port.
TEST_F(Senders, LongStripsArriveWholeBesideAnotherOutput) {
  const StripCase cases[] = {
      {"--wled 10.0.0.9 --pixels-per-lamp 100 --artnet 10.0.0.1", false, 0, 100},
      {"--wled 10.0.0.9 --pixels-per-lamp 100 --start-pixel 1 --artnet 10.0.0.1", false, 1, 100},
      {"--wled 10.0.0.9 --pixels-per-lamp 31 --artnet 10.0.0.1", false, 0, 31},
      {"--wled 10.0.0.9 --pixels-per-lamp 37 --color 102030 --artnet 10.0.0.1", false, 0, 37},
      {"--wled 10.0.0.9 --pixels-per-lamp 100 --start-pixel 63935", false, 63935, 100},
      {"--ddp 10.0.0.9 --pixels-per-lamp 100 --artnet 10.0.0.1", true, 0, 100},
      {"--ddp 10.0.0.9 --pixels-per-lamp 100 --start-pixel 1 --artnet 10.0.0.1", true, 1, 100},
      {"--ddp 10.0.0.9 --pixels-per-lamp 30 --start-pixel 7 --color 0000ff", true, 7, 30},
  };
  const unsigned value = 0xC35A;
  for (const StripCase& c : cases) {
    SCOPED_TRACE(c.tail);
    fake_network::Reset();
    Start(c.tail);
    SendLamps(LampBits(value));
    static OutputOptions options;
    ReadOutputOptions(c.tail, &options);
    const std::vector<uint8_t> want = Strip(value, c.start, c.perLamp, options.outputs[0].pixels.onColor);
    bool wellFormed = true;
    std::vector<uint8_t> got;
    const bool arrived = Within(3, [&] {
      const std::vector<Datagram> sent = fake_network::Sent();
      got = c.ddp ? fake_network::DdpPixels(sent, &wellFormed) : fake_network::WledPixels(sent, &wellFormed);
      got.resize(want.size());
      return got == want;
    });
    StopOutputs();
    EXPECT_TRUE(arrived) << "the strip never showed the lamps";
    EXPECT_TRUE(wellFormed);
    for (const Datagram& d : fake_network::Sent()) {
      EXPECT_LE(d.bytes.size(), kMaxPacketSize);
      EXPECT_NE(d.to.port, kSacnPort) << "no output here is sACN";
      if (d.to.port == kArtNetPort) {
        EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.begin() + 8), std::string("Art-Net\0", 8));
      }
    }
  }
}

// Closing: sACN says stream-terminated three times, WLED hands the strip
// back, and no socket stays open.
TEST_F(Senders, LastPacketsAtStop) {
  Start("--sacn 10.0.0.1 --universe 9 --wled 10.0.0.2 --pixels-per-lamp 100 --start-pixel 5");
  SendLamps(0x01FF);
  ASSERT_TRUE(Within(2, [] { return fake_network::Sent().size() >= 4; }));
  StopOutputs();
  std::vector<Datagram> sacn, wled;
  for (const Datagram& d : fake_network::Sent()) (d.to.port == kSacnPort ? sacn : wled).push_back(d);
  ASSERT_GE(sacn.size(), 4u);
  for (size_t i = 0; i < sacn.size(); ++i) EXPECT_EQ(sacn[i].bytes[112], i + 3 >= sacn.size() ? 0x40 : 0x00) << i;
  ASSERT_FALSE(wled.empty());
  EXPECT_EQ(wled.back().bytes[1], 0) << "timeout 0 hands the strip back";
  EXPECT_EQ(fake_network::OpenSockets(), 0u);
  StopOutputs();  // Again, as a session's end after the window's: nothing more.
  EXPECT_EQ(fake_network::Sent().size(), sacn.size() + wled.size());
}

// A receiver whose host says that nothing listens (each send reports the
// answer to the one before): every packet still goes, the last ones too,
// and the refusal is said once and shown.
TEST_F(Senders, RefusingReceiverStillGetsEveryPacket) {
  fake_network::SetRefusing(true);
  Start("--sacn 10.0.0.1 --wled 10.0.0.2 --pixels-per-lamp 100");
  for (int i = 1; i <= 3; ++i) {
    SendLamps(uint8_t(i));
    SleepSeconds(0.04);
  }
  const std::string text = Described();
  StopOutputs();
  EXPECT_NE(text.find("frames sent; now: nothing listens on the receiver's port: error 111"), std::string::npos)
      << text;
  std::vector<Datagram> sacn, wled;
  for (const Datagram& d : fake_network::Sent()) (d.to.port == kSacnPort ? sacn : wled).push_back(d);
  ASSERT_GE(sacn.size(), 4u);
  EXPECT_EQ(sacn.size(), size_t(sacn[sacn.size() - 1].bytes[111] - sacn[0].bytes[111] + 1)) << "no sequence skipped";
  for (size_t i = 0; i < sacn.size(); ++i) EXPECT_EQ(sacn[i].bytes[112], i + 3 >= sacn.size() ? 0x40 : 0x00) << i;
  ASSERT_FALSE(wled.empty());
  EXPECT_EQ(wled.size() % 4, 1u) << "every frame's four packets, then the hand-back";
  EXPECT_EQ(wled.back().bytes[1], 0);
  EXPECT_EQ(LinesSaying("nothing listens"), 2u) << "once for each output";
}

// A name that does not resolve is asked again once per keep-alive, not on
// every frame; once it resolves, the frames go to its address.
TEST_F(Senders, UnresolvedNameAskedWithAPause) {
  Start("--wled lamps.test");
  for (int i = 0; i < 30; ++i) {
    SendLamps(uint8_t(i));
    SleepSeconds(0.02);
  }
  EXPECT_EQ(fake_network::Lookups().size(), 1u) << "30 changes in 0.6 s";
  fake_network::SetAddress("lamps.test", 0x0A000005);
  ASSERT_TRUE(Within(2, [] { return !fake_network::Sent().empty(); }));
  EXPECT_EQ(fake_network::Sent()[0].to.address, 0x0A000005u);
  EXPECT_EQ(fake_network::Lookups().size(), 2u);
  std::vector<std::string> lines = fake_network::Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "WLED lamps.test: cannot find the host (retrying)");
}

// After a run of send faults the name is looked up again and the socket
// made anew; the fault is said once and shows in the outputs' text until
// frames go out again.
TEST_F(Senders, NameLookedUpAgainAfterFaults) {
  fake_network::SetAddress("node.test", 0x0A000001);
  Start("--artnet node.test --universe 3");
  ASSERT_TRUE(Within(2, [] { return !fake_network::Sent().empty(); }));
  fake_network::SetSendError(101);
  fake_network::SetAddress("node.test", 0x0A000002);
  for (int i = 1; i <= 4; ++i) {
    SendLamps(uint8_t(i));
    SleepSeconds(0.04);
  }
  ASSERT_TRUE(Within(2, [] { return fake_network::Lookups().size() >= 2; }));
  EXPECT_NE(Described().find("; now: cannot send: error 101"), std::string::npos) << Described();
  fake_network::SetSendError(0);
  SendLamps(0x77);
  ASSERT_TRUE(Within(3, [] { return fake_network::Sent().back().to.address == 0x0A000002u; }));
  EXPECT_EQ(LinesSaying("cannot send"), 1u);
}

// Open DMX: frames keep coming with no change (the host makes the line),
// each with the newest lamps; an interface that goes away is said once,
// looked for once a second, and used again when it comes back.
TEST_F(Senders, OpenDmxRefreshesAndReopens) {
  Start("--opendmx 2 --start 10 --on 200 --off 5");
  SendLamps(LampBits(0x0003));
  auto levels = [](size_t channel) { return fake_network::OpenDmxLevels()[channel - 1]; };
  ASSERT_TRUE(Within(2, [&] { return levels(10) == 200; }));
  EXPECT_EQ(levels(11), 200);
  EXPECT_EQ(levels(12), 5);
  EXPECT_EQ(levels(9), 0);
  // 0.5 s without a change is about 20 frame times; the keep-alive of the
  // other outputs would send none. The bound leaves room for a loaded machine.
  const size_t before = fake_network::OpenDmxFrames();
  SleepSeconds(0.5);
  EXPECT_GE(fake_network::OpenDmxFrames() - before, 8u);

  fake_network::SetOpenDmxPresent(false);
  ASSERT_TRUE(Within(2, [] { return LinesSaying("Open DMX 2: the FTDI interface has gone") == 1; }));
  const size_t opensWhenGone = fake_network::OpenDmxOpens();
  SleepSeconds(1.5);
  const size_t tries = fake_network::OpenDmxOpens() - opensWhenGone;
  EXPECT_GE(tries, 1u);
  EXPECT_LE(tries, 3u) << "looked for every frame, not once a second";
  EXPECT_EQ(LinesSaying("Open DMX 2:"), 1u) << "said once";
  EXPECT_NE(Described().find("; now: the FTDI interface cannot be opened"), std::string::npos) << Described();

  fake_network::SetOpenDmxPresent(true);
  SendLamps(LampBits(0x8000));
  ASSERT_TRUE(Within(3, [&] { return levels(10 + 15) == 200; }));
  EXPECT_EQ(levels(10), 5);
  ASSERT_TRUE(Within(2, [] { return Described().find("now:") == std::string::npos; })) << Described();
}

// The messages written to a DMX USB Pro's port, split at their framing;
// a fault of form fails the test.
std::vector<std::vector<uint8_t>> UsbProMessages(const std::vector<uint8_t>& bytes) {
  std::vector<std::vector<uint8_t>> messages;
  for (size_t at = 0; at < bytes.size();) {
    EXPECT_EQ(bytes[at], kUsbProStart) << "at byte " << at;
    if (bytes[at] != kUsbProStart || at + 4 > bytes.size()) break;
    const size_t end = at + 4 + (bytes[at + 2] | bytes[at + 3] << 8);
    EXPECT_LT(end, bytes.size()) << "a message cut short";
    if (end >= bytes.size()) break;
    EXPECT_EQ(bytes[end], kUsbProEnd);
    messages.emplace_back(bytes.begin() + long(at), bytes.begin() + long(end) + 1);
    at = end + 1;
  }
  return messages;
}

const std::vector<uint8_t> kParametersRequest = {0x7E, 3, 2, 0, 0, 0, 0xE7};

// The last message written whole, empty before any.
std::vector<uint8_t> LastUsbProMessage() {
  const auto messages = UsbProMessages(fake_serial::Written());
  return messages.empty() ? std::vector<uint8_t>() : messages.back();
}

// Asked for its parameters first, then a frame of all 512 slots for each
// state with the mapped levels, the newest winning; nothing at stop (the
// widget keeps the last frame).
TEST_F(Senders, UsbProAskedFirstThenFramesOfTheMappedLamps) {
  Start("--usbpro COM3 --start 10 --channels-per-lamp 2 --on 200 --off 7");
  ASSERT_TRUE(Within(2, [] { return UsbProMessages(fake_serial::Written()).size() >= 2; }));
  SendLamps(0x8001);
  ASSERT_TRUE(Within(2, [] {
    const std::vector<uint8_t> last = LastUsbProMessage();
    return last.size() == 518 && last[4 + 10] == 200 && last[4 + 41] == 200;
  }));
  StopOutputs();
  const auto messages = UsbProMessages(fake_serial::Written());
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages[0], kParametersRequest);
  for (size_t i = 1; i < messages.size(); ++i) {
    ASSERT_EQ(messages[i].size(), 518u) << i;
    EXPECT_EQ(std::vector<uint8_t>(messages[i].begin(), messages[i].begin() + 5),
              (std::vector<uint8_t>{0x7E, 6, 0x01, 0x02, 0}));
  }
  const std::vector<uint8_t>& last = messages.back();
  for (unsigned channel = 1; channel <= 512; ++channel) {
    const unsigned lamp = channel >= 10 ? (channel - 10) / 2 : 99;
    const uint8_t want = lamp > 15 ? 0 : (lamp == 0 || lamp == 15) ? 200 : 7;
    EXPECT_EQ(last[4 + channel], want) << "channel " << channel;
  }
  EXPECT_EQ(fake_serial::OpenPorts(), 0u);
}

// A port that is not a DMX USB Pro (it answers something else, or nothing)
// and one that will not open: said once with what answered, no frame
// written, asked again after a pause; once a widget answers, frames go.
TEST_F(Senders, UsbProThatIsNotOneIsSaidOnceAndTriedAgain) {
  const struct {
    const char* what;
    std::vector<uint8_t> answer;
    int openError;
    const char* line;
  } cases[] = {
      {"garbage", {'O', 'K', '\r', '\n', 'r', 'e', 'a', 'd', 'y', '>'}, 0,
       "DMX USB Pro on COM3: not a DMX USB Pro: it answered 4f 4b 0d 0a 72 65 61 64 ... (10 bytes) (retrying)"},
      {"silence", {}, 0, "DMX USB Pro on COM3: not a DMX USB Pro: no answer to the parameters request (retrying)"},
      {"no port", {}, 2, "DMX USB Pro on COM3: cannot open the port: serial error 2 (retrying)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fake_network::Reset();
    fake_serial::Reset();
    fake_serial::SetAnswer(c.answer);
    fake_serial::SetOpenError(c.openError);
    Start("--usbpro COM3");
    const double started = MonotonicSeconds();
    for (int i = 0; i < 20; ++i) {
      SendLamps(LampBits(i));
      SleepSeconds(0.02);
    }
    ASSERT_TRUE(Within(3, [] { return fake_network::Lines().size() >= 2; }));
    const std::string line = c.line, fault = line.substr(21, line.size() - 21 - 11);
    EXPECT_NE(Described().find("0 frames sent; now: " + fault), std::string::npos) << Described();
    // Tried again after the pause, said once.
    ASSERT_TRUE(Within(5, [] { return fake_serial::Opens() >= 2; }));
    EXPECT_GE(MonotonicSeconds() - started, 2.0) << "tried again only after the pause";
    for (const auto& message : UsbProMessages(fake_serial::Written())) EXPECT_EQ(message, kParametersRequest);
    fake_serial::SetOpenError(0);
    fake_serial::SetAnswer(fake_serial::GoodAnswer());
    ASSERT_TRUE(Within(5, [] { return LastUsbProMessage().size() == 518; }));
    StopOutputs();
    const std::vector<std::string> lines = fake_network::Lines();
    ASSERT_EQ(lines.size(), 2u) << "the description and the fault, once";
    EXPECT_EQ(lines[1], c.line);
  }
}

// A port that fails mid-run (unplugged): said once, closed, opened again
// after a pause and asked again; the frames resume with the newest state.
TEST_F(Senders, UsbProUnpluggedIsReopened) {
  Start("--usbpro COM3");
  ASSERT_TRUE(Within(2, [] { return UsbProMessages(fake_serial::Written()).size() >= 2; }));
  fake_serial::SetWriteError(5);
  SendLamps(0x0003);
  ASSERT_TRUE(Within(2, [] { return fake_network::Lines().size() >= 2; }));
  EXPECT_EQ(fake_network::Lines()[1], "DMX USB Pro on COM3: cannot write to the port: serial error 5 (retrying)");
  EXPECT_TRUE(Within(1, [] { return fake_serial::OpenPorts() == 0; }));
  const double failedAt = MonotonicSeconds();
  SendLamps(0x0007);
  fake_serial::SetWriteError(0);
  ASSERT_TRUE(Within(5, [] { return fake_serial::Opens() >= 2; }));
  EXPECT_GE(MonotonicSeconds() - failedAt, 1.5) << "opened again only after the pause";
  ASSERT_TRUE(Within(2, [] {
    const std::vector<uint8_t> last = LastUsbProMessage();
    return last.size() == 518 && last[5] == 255 && last[7] == 255;
  }));
  StopOutputs();
  const auto messages = UsbProMessages(fake_serial::Written());
  size_t requests = 0;
  for (const auto& message : messages) requests += message == kParametersRequest;
  EXPECT_EQ(requests, 2u);
  EXPECT_EQ(fake_network::Lines().size(), 2u);
}

TEST(OutputText, SaysWhatGoesWhere) {
  const struct {
    const char* tail;
    const char* text;
  } cases[] = {
      {"--sacn multicast --universe 2 --start 101 --channels-per-lamp 2 --on 200 --off 10",
       "sACN to multicast port 5568, universe 2, priority 100: lamps 0-15 on channels 101-132, 2 each, levels 200/10"},
      {"--sacn 239.255.0.7 --universe 7",
       "sACN to 239.255.0.7 (multicast) port 5568, universe 7, priority 100: lamps 0-15 on channels 1-16, levels 255/0"},
      {"--artnet 10.0.0.1 --universe 1:2:3 --channels 5,1,9",
       "Art-Net to 10.0.0.1 port 6454, port address 291 (1:2:3): lamps 0-2 from channels 5,1,9, levels 255/0"},
      {"--wled strip.local --pixels-per-lamp 37 --color ffa000",
       "WLED to strip.local port 21324: lamps 0-15 on pixels 0-591, 37 each, colour ffa000"},
      {"--ddp 10.0.0.2 --start-pixel 3", "DDP to 10.0.0.2 port 4048: lamps 0-15 on pixels 3-18, 1 each, colour ffffff"},
      {"--ola 3 --start 5", "OLA to olad, universe 3: lamps 0-15 on channels 5-20, levels 255/0"},
      {"--opendmx --start 5", "Open DMX on FTDI interface 0: lamps 0-15 on channels 5-20, levels 255/0"},
      {"--opendmx 3 --channels 9,1 --on 7", "Open DMX on FTDI interface 3: lamps 0-1 from channels 9,1, levels 7/0"},
      {"--usbpro COM3", "DMX USB Pro on COM3: lamps 0-15 on channels 1-16, levels 255/0"},
  };
  for (const auto& c : cases) {
    static OutputOptions options;
    ReadOutputOptions(c.tail, &options);
    ASSERT_EQ(options.count, 1u) << c.tail;
    char text[256];
    DescribeOutput(options.outputs[0], text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

}  // namespace
