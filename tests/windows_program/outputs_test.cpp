// The network outputs of pipeserver.exe under Wine: the bad-input table the
// Linux program also runs (one box naming the word, then the window), and
// the packets on the host's loopback as a receiver reads them.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
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

// OUTPUTS_SHARE "i/n": only the rows i, i + n, i + 2n... (counted from 0),
// so that n processes, each with a Wine prefix of its own, share the table
// (tests/windows_program/outputs_table.sh); without it, every row.
TEST(Outputs, BadInputTable) {
  int share = 0, shares = 1;
  if (const char* given = std::getenv("OUTPUTS_SHARE")) {
    ASSERT_TRUE(std::sscanf(given, "%d/%d", &share, &shares) == 2 && shares > 0 && share >= 0 && share < shares)
        << given;
  }
  std::ifstream table(ProgramPath("OUTPUTS_TABLE"));
  ASSERT_TRUE(table.good());
  std::string line;
  int rows = 0, mine = 0;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (rows++ % shares != share) continue;
    const size_t bar = line.find('|');
    ASSERT_NE(bar, std::string::npos) << line;
    // A third column ("start-up") marks a fault found when the program
    // starts rather than on its command line: the same one box.
    const size_t second = line.find('|', bar + 1);
    const std::string tail = Trim(line.substr(0, bar));
    const std::string word = Trim(line.substr(bar + 1, second == std::string::npos ? second : second - bar - 1));
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
    ++mine;
  }
  EXPECT_GE(rows, 39);
  EXPECT_GE(mine, rows / shares);
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

  // "Outputs..." in the system menu: a paragraph an output, with its frames.
  PostMessageA(window, WM_SYSCOMMAND, 0x6010, 0);
  HWND box = WaitForMessageBox(server.pid(), 5000);
  ASSERT_NE(box, nullptr);
  const BoxContents outputs = ReadMessageBox(box);
  EXPECT_EQ(outputs.caption, "Outputs");
  EXPECT_EQ(outputs.icon, BoxIcon::kInformation);
  EXPECT_EQ(outputs.text.find("sACN to 127.0.0.1 port 5568, universe 7, priority 100: lamps 0-15 on channels 3-18, "
                              "levels 255/0\n"),
            0u)
      << outputs.text;
  size_t paragraphs = 0;
  for (size_t at = 0; (at = outputs.text.find(" frames sent", at)) != std::string::npos; ++at) ++paragraphs;
  EXPECT_EQ(paragraphs, 4u) << outputs.text;
  EXPECT_TRUE(PressOk(box));

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

// 1,600 pixels from pixel 0 (WLED) and from pixel 1 (DDP) beside an
// Art-Net output: every lamp's pixels in place, every packet within WLED's
// 1472 bytes, the Art-Net packets still ArtDmx, the program alive.
TEST(Outputs, LongStripsWhole) {
  Receivers receivers;
  ASSERT_TRUE(receivers.bound());
  ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
  Server server("-p 0 --wled 127.0.0.1 --pixels-per-lamp 100 --color 102030 "
                "--ddp 127.0.0.1 --pixels-per-lamp 100 --start-pixel 1 --artnet 127.0.0.1");
  ASSERT_TRUE(server.started());
  HWND window = server.WaitForWindow(20000);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(RunLightsend({">5LC35A"}), 0);
  Sleep(1500);  // Past a keep-alive of each.
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(server.Close(window), 0);

  auto strip = [](unsigned value, std::vector<uint8_t> colour, size_t start) {
    std::vector<uint8_t> rgb((start + 1600) * 3, 0);
    for (size_t pixel = 0; pixel < 1600; ++pixel)
      if ((value >> (pixel / 100)) & 1) std::copy(colour.begin(), colour.end(), rgb.begin() + long((start + pixel) * 3));
    return rgb;
  };
  // Each WLED packet written over the strip as WLED would; the strip is
  // checked after every packet, since the last ones hand it back.
  std::vector<uint8_t> wledStrip(1600 * 3, 0);
  bool wledWhole = false;
  const std::vector<uint8_t> wantWled = strip(0xC35A, {0x10, 0x20, 0x30}, 0);
  for (const auto& p : receivers.Take(21324)) {
    ASSERT_LE(p.size(), 1472u);
    if (p[1] == 0) continue;  // The hand-back at the end: WLED ignores its pixel.
    ASSERT_TRUE(p[0] == 2 || p[0] == 4) << "DRGB or DNRGB";
    const size_t header = p[0] == 2 ? 2 : 4, start = p[0] == 2 ? 0 : size_t(p[2]) << 8 | p[3];
    ASSERT_LE(start * 3 + p.size() - header, wledStrip.size());
    std::copy(p.begin() + long(header), p.end(), wledStrip.begin() + long(start * 3));
    wledWhole = wledWhole || wledStrip == wantWled;
  }
  EXPECT_TRUE(wledWhole);
  std::vector<uint8_t> ddpStrip(1601 * 3, 0);
  bool ddpWhole = false;
  const std::vector<uint8_t> wantDdp = strip(0xC35A, {0xFF, 0xFF, 0xFF}, 1);
  for (const auto& p : receivers.Take(4048)) {
    ASSERT_LE(p.size(), 1450u);
    const size_t offset = size_t(p[4]) << 24 | size_t(p[5]) << 16 | size_t(p[6]) << 8 | p[7];
    ASSERT_LE(offset + p.size() - 10, ddpStrip.size());
    std::copy(p.begin() + 10, p.end(), ddpStrip.begin() + long(offset));
    ddpWhole = ddpWhole || ((p[0] & 1) && ddpStrip == wantDdp);
  }
  EXPECT_TRUE(ddpWhole);
  const auto artnet = receivers.Take(6454);
  ASSERT_GE(artnet.size(), 2u);
  for (const auto& p : artnet) EXPECT_EQ(std::string(p.begin(), p.begin() + 8), std::string("Art-Net\0", 8));
  EXPECT_TRUE(receivers.Take(5568).empty()) << "no output here is sACN";
}

// Every way the program is closed sends the outputs' last packets before
// the process ends, within 1 s, with a receiver that does not answer
// (nothing listens on 127.0.0.2) beside them. taskkill without /F asks the
// windows to close (WM_CLOSE). At logoff and shutdown the system may end
// the process as soon as WM_ENDSESSION is answered: Wine has no session to
// end here, so the driver sends WM_QUERYENDSESSION and WM_ENDSESSION as the
// system does and then ends the process at once, as the system may. Under
// Wine on a display with no window manager, destroying any shown top-level
// window waits up to 2 s for the manager to withdraw it (notepad's too):
// the closes through the window are allowed that time, measured here on a
// window of the driver's own, on top of their second.
struct CloseWay {
  const char* name;
  std::function<void(Server&, HWND)> close;
  bool throughWindow;  // Destroys the window before the last packets.
};

DWORD DestroyShownWindowMs() {
  HWND window = CreateWindowExA(0, "STATIC", "reference window", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) return 0;
  ShowWindow(window, SW_SHOW);
  for (int i = 0; i < 30; ++i) {  // Mapped on the display.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  const DWORD start = GetTickCount();
  DestroyWindow(window);
  return GetTickCount() - start;
}

TEST(Outputs, LastPacketsOnEveryClose) {
  const DWORD destroyMs = DestroyShownWindowMs();
  std::printf("destroying a shown window of the driver's own: %lu ms\n", static_cast<unsigned long>(destroyMs));
  const CloseWay ways[] = {
      {"WM_CLOSE", [](Server&, HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }, true},
      {"taskkill", [](Server& server, HWND) {
         const Process taskkill("C:\\windows\\system32\\taskkill.exe", "/PID " + std::to_string(server.pid()));
         EXPECT_EQ(taskkill.WaitForExit(5000), 0);
       }, true},
      {"WM_ENDSESSION", [](Server& server, HWND window) {
         EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
         SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
         HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, server.pid());
         ASSERT_NE(process, nullptr);
         TerminateProcess(process, 0);
         CloseHandle(process);
       }, false},
  };
  for (const CloseWay& way : ways) {
    SCOPED_TRACE(way.name);
    Receivers receivers;
    ASSERT_TRUE(receivers.bound());
    ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
    Server server("-p 0 --sacn 127.0.0.2 --universe 9 --sacn 127.0.0.1 --universe 8 --wled 127.0.0.1");
    ASSERT_TRUE(server.started());
    HWND window = server.WaitForWindow(20000);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(RunLightsend({">5L8001"}), 0);
    Sleep(300);

    const DWORD start = GetTickCount();
    way.close(server, window);
    std::vector<std::vector<uint8_t>> sacn, wled;
    int terminated = 0;
    WaitUntil([&] {
      for (auto& packet : receivers.Take(5568)) {
        terminated += (packet.size() > 112 && (packet[112] & 0x40) != 0);
        sacn.push_back(std::move(packet));
      }
      for (auto& packet : receivers.Take(21324)) wled.push_back(std::move(packet));
      return terminated >= 3 && !wled.empty() && wled.back()[1] == 0;
    }, 3000);
    const DWORD lastPackets = GetTickCount() - start;
    EXPECT_EQ(server.WaitForExit(5000), 0);
    const DWORD ended = GetTickCount() - start;
    std::printf("%s: last packets within %lu ms, process ended after %lu ms\n", way.name,
                static_cast<unsigned long>(lastPackets), static_cast<unsigned long>(ended));
    EXPECT_LT(lastPackets, 1000u + (way.throughWindow ? destroyMs : 0));

    ASSERT_GE(sacn.size(), 4u);
    for (size_t i = 0; i < sacn.size(); ++i) {
      ASSERT_EQ(sacn[i].size(), 638u);
      EXPECT_EQ(sacn[i][113] * 256 + sacn[i][114], 8);
      EXPECT_EQ((sacn[i][112] & 0x40) != 0, i + 3 >= sacn.size()) << "packet " << i;
    }
    EXPECT_EQ(terminated, 3);
    ASSERT_GE(wled.size(), 2u);
    EXPECT_EQ(wled.back()[1], 0) << "the strip handed back last";
  }
}

}  // namespace
