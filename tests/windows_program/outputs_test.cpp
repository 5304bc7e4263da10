// The network outputs of pipeserver.exe under Wine: the bad-input table the
// Linux program also runs (one box naming the word, then the window), and
// the packets on the host's loopback as a receiver reads them.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/win_driver.h"

namespace {

std::string Trim(std::string s) {
  s.erase(0, s.find_first_not_of(" \t\r\n"));
  s.erase(s.find_last_not_of(" \t\r\n") + 1);
  return s;
}

TEST(Outputs, BadInputTable) {
  std::ifstream table(ProgramPath("OUTPUTS_TABLE"));
  ASSERT_TRUE(table.good());
  std::string line;
  int rows = 0;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t bar = line.find('|');
    ASSERT_NE(bar, std::string::npos) << line;
    const std::string tail = Trim(line.substr(0, bar)), word = Trim(line.substr(bar + 1));
    SCOPED_TRACE(tail);
    ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
    Server server(tail);
    ASSERT_TRUE(server.started());
    HWND window = nullptr;
    std::vector<BoxContents> outputBoxes;
    for (const BoxContents& box : BoxesBeforeTheWindow(server, &window, {}, 20000))
      // The port's own box (no port access under Wine) is not ours.
      if (box.text.rfind("No access to the parallel port", 0) != 0) outputBoxes.push_back(box);
    ASSERT_EQ(outputBoxes.size(), 1u);
    EXPECT_EQ(outputBoxes[0].caption, "Pipe Server Vantrelle");
    EXPECT_EQ(outputBoxes[0].text.substr(0, word.size() + 2), word + ": ") << outputBoxes[0].text;
    EXPECT_NE(outputBoxes[0].text.find("The program runs without this output."), std::string::npos);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowTitle(window), "Pipe Server Vantrelle (p:0)");
    EXPECT_EQ(server.Close(window), 0);
    ++rows;
  }
  EXPECT_GE(rows, 39);
}

// UDP receivers on 127.0.0.1, read once the program has ended: the
// packets wait in the sockets' buffers.
class Receivers {
 public:
  Receivers() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 0), &data);
    for (unsigned short port : {5568, 6454, 21324, 4048}) {
      SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
      sockaddr_in at = {};
      at.sin_family = AF_INET;
      at.sin_port = htons(port);
      at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      bound_ = bound_ && bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
      u_long nonBlocking = 1;
      ioctlsocket(s, FIONBIO, &nonBlocking);
      sockets_[port] = s;
    }
  }
  ~Receivers() {
    for (auto& entry : sockets_) closesocket(entry.second);
  }
  bool bound() const { return bound_; }
  std::vector<std::vector<uint8_t>> Take(unsigned short port) {
    std::vector<std::vector<uint8_t>> packets;
    std::vector<uint8_t> buffer(2048);
    for (;;) {
      const int n = recv(sockets_[port], reinterpret_cast<char*>(buffer.data()), int(buffer.size()), 0);
      if (n <= 0) break;
      packets.emplace_back(buffer.begin(), buffer.begin() + n);
    }
    return packets;
  }

 private:
  std::map<unsigned short, SOCKET> sockets_;
  bool bound_ = true;
};

TEST(Outputs, PacketsOnLoopback) {
  Receivers receivers;
  ASSERT_TRUE(receivers.bound());
  ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
  Server server(
      "-p 0 --sacn 127.0.0.1 --universe 7 --start 3 --artnet 127.0.0.1 --universe 261 "
      "--wled 127.0.0.1 --color 102030 --ddp 127.0.0.1 --start-pixel 2 --pixels-per-lamp 2");
  ASSERT_TRUE(server.started());
  HWND window = server.WaitForWindow(20000);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowTitle(window), "Pipe Server Vantrelle (p:0)");
  ASSERT_EQ(RunLightsend({">5L8001"}), 0);
  Sleep(1500);  // Past a keep-alive of each.
  EXPECT_EQ(server.Close(window), 0);

  // sACN: universe 7, lamps 0 and 15 on channels 3 and 18, then the three
  // stream-terminated packets, sequence numbers one after another.
  const auto sacn = receivers.Take(5568);
  ASSERT_GE(sacn.size(), 5u);
  bool lit = false;
  for (size_t i = 0; i < sacn.size(); ++i) {
    const auto& p = sacn[i];
    ASSERT_EQ(p.size(), 638u);
    EXPECT_EQ(std::string(p.begin() + 4, p.begin() + 13), "ASC-E1.17");
    EXPECT_EQ(p[113] * 256 + p[114], 7);
    EXPECT_EQ(p[108], 100);
    EXPECT_EQ(p[111], uint8_t(sacn[0][111] + i));
    EXPECT_EQ(p[112], i + 3 >= sacn.size() ? 0x40 : 0x00) << "packet " << i;
    lit = lit || (p[126 + 2] == 255 && p[126 + 17] == 255 && p[126 + 3] == 0);
  }
  EXPECT_TRUE(lit);
  EXPECT_EQ(sacn.back()[126 + 2], 255);  // The last state, terminated.

  // Art-Net: port address 261 (net 1, sub-net 0, universe 5), channels 1 and 16.
  const auto artnet = receivers.Take(6454);
  ASSERT_GE(artnet.size(), 2u);
  for (const auto& p : artnet) {
    ASSERT_EQ(p.size(), 530u);
    EXPECT_EQ(p[14], 0x05);
    EXPECT_EQ(p[15], 0x01);
  }
  EXPECT_EQ(artnet.back()[18], 255);
  EXPECT_EQ(artnet.back()[18 + 15], 255);
  EXPECT_EQ(artnet.back()[18 + 1], 0);

  // WLED: DRGB from pixel 0 with the timeout 2, handed back with 0 at the end.
  const auto wled = receivers.Take(21324);
  ASSERT_GE(wled.size(), 3u);
  const auto& frame = wled[wled.size() - 2];
  ASSERT_EQ(frame.size(), 2u + 16 * 3);
  EXPECT_EQ(frame[0], 2);
  EXPECT_EQ(frame[1], 2);
  EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 2, frame.begin() + 8), (std::vector<uint8_t>{0x10, 0x20, 0x30, 0, 0, 0}));
  EXPECT_EQ(frame[2 + 15 * 3], 0x10);
  EXPECT_EQ(wled.back()[1], 0);

  // DDP: 32 pixels from pixel 2 (offset 6), pushed.
  const auto ddp = receivers.Take(4048);
  ASSERT_GE(ddp.size(), 2u);
  const auto& last = ddp.back();
  ASSERT_EQ(last.size(), 10u + 32 * 3);
  EXPECT_EQ(last[0], 0x41);
  EXPECT_EQ(last[7], 6);
  EXPECT_EQ(last[10], 0xFF);  // Lamp 0, white.
  EXPECT_EQ(last[10 + 2 * 3], 0);
}

}  // namespace
