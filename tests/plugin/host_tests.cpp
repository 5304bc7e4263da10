// The plug-in in a player of our own, against the real pipeserver.exe: the
// lamps follow the signal, pause, stop and Quit turn them off, and the
// plug-in finds the program again after it was killed and started anew.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host_lamps.h"
#include "vis_host.h"
#include "win_driver.h"

namespace {

constexpr int kMeterModule = 1;  // Modules follow the style order: spectrum, meter, ...

class PluginHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.loaded()) << PluginPath();
    ASSERT_GT(int(dll_.modules().size()), kMeterModule);
  }
  VisDll dll_{PluginPath()};
};

TEST_F(PluginHost, HeaderAndOneModulePerStyle) {
  EXPECT_EQ(dll_.header()->version, 0x101);
  EXPECT_NE(std::string(dll_.header()->description).find("Pipe Server Vantrelle"), std::string::npos);
  const char* styles[] = {"spectrum", "meter", "beat", "pulse", "bass"};
  ASSERT_EQ(dll_.modules().size(), std::size(styles));
  for (size_t i = 0; i < std::size(styles); ++i) {
    const winampVisModule* m = dll_.modules()[i];
    SCOPED_TRACE(styles[i]);
    EXPECT_NE(std::string(m->description).find(styles[i]), std::string::npos) << m->description;
    EXPECT_TRUE(m->Init && m->Render && m->Quit && m->Config);
    EXPECT_GT(m->delayMs, 0);
  }
  EXPECT_EQ(dll_.header()->getModule(int(std::size(styles))), nullptr);
  EXPECT_EQ(dll_.header()->getModule(-1), nullptr);
}

class WithProgram : public PluginHost {
 protected:
  void SetUp() override {
    PluginHost::SetUp();
    StartProgram();
  }
  void StartProgram() {
    server_.reset(new Server(""));
    ASSERT_TRUE(server_->started());
    window_ = server_->WaitForWindow(10000);
    ASSERT_NE(window_, nullptr);
  }
  // The lamps shown become what wanted says, within ms.
  bool ShowsWithin(bool (*wanted)(unsigned), DWORD ms) {
    return WaitUntil([&] { return wanted(ReadLamps(CaptureClient(window_))); }, ms);
  }
  std::unique_ptr<Server> server_;
  HWND window_ = nullptr;
};

bool Dark(unsigned lamps) { return lamps == 0; }
bool LeftOnly(unsigned lamps) { return (lamps & 0xFF) != 0 && (lamps & 0xFF00) == 0; }
bool RightOnly(unsigned lamps) { return (lamps & 0xFF) == 0 && (lamps & 0xFF00) != 0; }
bool BothRows(unsigned lamps) { return (lamps & 0xFF) != 0 && (lamps & 0xFF00) != 0; }

TEST_F(WithProgram, LampsFollowAndPauseAndStopTurnThemOff) {
  PlayerThread player(dll_.modules()[kMeterModule]);
  ASSERT_TRUE(player.Start());
  const struct {
    const char* what;
    void (*act)(PlayerThread&);
    bool (*shows)(unsigned);
  } steps[] = {
      {"left channel", [](PlayerThread& p) { p.Play(Signal::kLeft); }, LeftOnly},
      {"right channel", [](PlayerThread& p) { p.Play(Signal::kRight); }, RightOnly},
      {"silence", [](PlayerThread& p) { p.Play(Signal::kSilence); }, Dark},
      {"both", [](PlayerThread& p) { p.Play(Signal::kBoth); }, BothRows},
      {"pause", [](PlayerThread& p) { p.Pause(); }, Dark},
      {"playing again", [](PlayerThread& p) { p.Play(Signal::kBoth); }, BothRows},
      {"stop", [](PlayerThread& p) { p.Stop(); }, Dark},
      {"after stop", [](PlayerThread& p) { p.Play(Signal::kLeft); }, LeftOnly},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    step.act(player);
    EXPECT_TRUE(ShowsWithin(step.shows, 3000)) << "shown: " << LampText(ReadLamps(CaptureClient(window_)));
  }
  EXPECT_TRUE(player.Quit());
  EXPECT_TRUE(ShowsWithin(Dark, 3000)) << "Quit leaves no lamp lit";
}

TEST_F(WithProgram, FindsTheProgramAgainAfterItWasKilled) {
  PlayerThread player(dll_.modules()[kMeterModule]);
  ASSERT_TRUE(player.Start());
  player.Play(Signal::kBoth);
  ASSERT_TRUE(ShowsWithin(BothRows, 3000));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("restart " + std::to_string(round + 1));
    server_.reset();  // Killed: TerminateProcess.
    Sleep(1500);      // Long enough for the plug-in to have failed to connect at least once.
    StartProgram();
    // A new program starts dark; the same steady tone lights it only if the
    // plug-in connected again and sent its state afresh.
    EXPECT_TRUE(ShowsWithin(BothRows, 5000));
  }
  EXPECT_TRUE(player.Quit());
}

// Quit returns within its bound even when the program takes lines but
// never reads them, and the player can unload the DLL at once.
TEST_F(PluginHost, QuitIsBoundedWhenTheProgramNeverReads) {
  StallingServer stall;
  ASSERT_TRUE(stall.started());
  PlayerThread player(dll_.modules()[kMeterModule]);
  ASSERT_TRUE(player.Start());
  for (int i = 0; i < 20; ++i) {  // Changes enough to fill the pipe's buffer.
    player.Play(i % 2 ? Signal::kLeft : Signal::kRight);
    Sleep(100);
  }
  ASSERT_TRUE(player.Quit(5000));
  EXPECT_LT(player.QuitMillis(), 3000);
}

}  // namespace
