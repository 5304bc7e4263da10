// --opendmx under Wine: pipeserver.exe beside a stand-in of FTDI's D2XX
// library (tests/fakes/fake_ftd2xx.cpp) that logs every call with the
// performance counter, read back here: the line's settings, each frame's
// break, mark and bytes, the lamps in them, the frame rate; the one box
// without the library or without the interface; an interface unplugged and
// plugged in again.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/win_driver.h"

namespace {

// One line of the stand-in's log.
struct Call {
  double began;       // Microseconds.
  double lastReturn;  // When the call before it returned.
  std::string name;
  std::vector<std::string> args;  // The answer (status) last; FT_Write's bytes after it.
  unsigned long Arg(size_t i) const { return i < args.size() ? std::strtoul(args[i].c_str(), nullptr, 10) : ~0ul; }
  unsigned long Status() const { return name == "FT_Write" ? Arg(1) : args.empty() ? ~0ul : Arg(args.size() - 1); }
};

std::vector<Call> ReadCalls(const std::string& path) {
  std::vector<Call> calls;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    Call call;
    if (!(words >> call.began >> call.lastReturn >> call.name)) continue;
    for (std::string word; words >> word;) call.args.push_back(word);
    calls.push_back(call);
  }
  return calls;
}

// The frame FT_Write was given ("00ff..." to bytes).
std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(uint8_t(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
  return bytes;
}

size_t Count(const std::vector<Call>& calls, const std::string& name) {
  return size_t(std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.name == name; }));
}

class OpenDmx : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = ProgramPath("PIPESERVER_FTDI_EXE");
    ASSERT_FALSE(exe_.empty()) << "PIPESERVER_FTDI_EXE is not set";
    log_ = ProgramPath("FTD2XX_LOG");
    unplugged_ = log_ + ".unplugged";
    DeleteFileA(log_.c_str());
    DeleteFileA(unplugged_.c_str());
    // The program, and the stand-in in it, inherit them.
    SetEnvironmentVariableA("FTD2XX_TEST_LOG", log_.c_str());
    SetEnvironmentVariableA("FAKE_FTD2XX_UNPLUGGED", unplugged_.c_str());
    ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
  }
  void TearDown() override {
    SetEnvironmentVariableA("FTD2XX_TEST_LOG", nullptr);
    SetEnvironmentVariableA("FAKE_FTD2XX_UNPLUGGED", nullptr);
    DeleteFileA(unplugged_.c_str());
  }
  // The calls of that name that answered status (0 FT_OK, 4 FT_IO_ERROR).
  size_t Answered(const char* name, unsigned long status) const {
    size_t count = 0;
    for (const Call& call : ReadCalls(log_)) count += call.name == name && call.Status() == status;
    return count;
  }
  std::string exe_, log_, unplugged_;
};

// The frame for the lamps with "--start 3 --channels-per-lamp 2 --on 200
// --off 10": lamp n on channels 3 + 2n and 4 + 2n.
std::vector<uint8_t> Expected(unsigned lamps) {
  std::vector<uint8_t> frame(513, 0);
  for (unsigned lamp = 0; lamp < 16; ++lamp)
    frame[3 + 2 * lamp] = frame[4 + 2 * lamp] = ((lamps >> lamp) & 1) ? 200 : 10;
  return frame;
}

TEST_F(OpenDmx, FramesOnTheLine) {
  Server server("-p 0 --opendmx --start 3 --channels-per-lamp 2 --on 200 --off 10", exe_);
  ASSERT_TRUE(server.started());
  HWND window = nullptr;
  const auto boxes = BoxesBeforeTheWindow(server, &window, {}, 20000);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  ASSERT_NE(window, nullptr);
  Sleep(500);
  ASSERT_EQ(RunLightsend({">5L0001"}), 0);
  Sleep(700);
  ASSERT_EQ(RunLightsend({">5L8002"}), 0);
  Sleep(700);
  EXPECT_EQ(server.Close(window), 0);

  const std::vector<Call> calls = ReadCalls(log_);
  ASSERT_GE(calls.size(), 20u);
  // The start-up's look at the interface, then the output's own opening:
  // each sets DMX's line before any frame.
  EXPECT_EQ(Count(calls, "FT_Open"), 2u);
  size_t firstBreak = 0;
  while (firstBreak < calls.size() && calls[firstBreak].name != "FT_SetBreakOn") ++firstBreak;
  ASSERT_LT(firstBreak, calls.size());
  const std::vector<Call> setup(calls.begin(), calls.begin() + long(firstBreak));
  for (const char* name : {"FT_ResetDevice", "FT_SetBaudRate", "FT_SetDataCharacteristics", "FT_SetFlowControl",
                           "FT_ClrRts", "FT_Purge", "FT_SetTimeouts"})
    EXPECT_EQ(Count(setup, name), 2u) << name;
  for (const Call& call : setup) {
    SCOPED_TRACE(call.name);
    EXPECT_EQ(call.Status(), 0ul);
    if (call.name == "FT_Open") {
      EXPECT_EQ(call.args, (std::vector<std::string>{"0", "0"}));
    } else if (call.name == "FT_SetBaudRate") {
      EXPECT_EQ(call.Arg(0), 250000ul);
    } else if (call.name == "FT_SetDataCharacteristics") {
      EXPECT_EQ(call.args, (std::vector<std::string>{"8", "2", "0", "0"}));  // 8 bits, 2 stop bits, no parity.
    } else if (call.name == "FT_SetFlowControl") {
      EXPECT_EQ(call.Arg(0), 0ul);  // FT_FLOW_NONE.
    } else if (call.name == "FT_Purge") {
      EXPECT_EQ(call.Arg(0), 3ul);  // Receive and transmit.
    } else if (call.name == "FT_SetTimeouts") {
      EXPECT_GT(call.Arg(1), 24ul) << "a write timeout longer than a frame";  // 0 would wait forever.
    }
  }

  // Frames: break on, break off, the write, and nothing else until the close.
  std::vector<double> starts, holds, marks;
  std::vector<unsigned> states;  // Index into kStates of each frame.
  const unsigned kStates[] = {0x0000, 0x0001, 0x8002};
  size_t i = firstBreak;
  for (; i + 2 < calls.size() && calls[i].name == "FT_SetBreakOn"; i += 3) {
    SCOPED_TRACE("frame " + std::to_string(starts.size()));
    ASSERT_EQ(calls[i + 1].name, "FT_SetBreakOff");
    ASSERT_EQ(calls[i + 2].name, "FT_Write");
    starts.push_back(calls[i].began);
    holds.push_back(calls[i + 1].began - calls[i + 1].lastReturn);
    marks.push_back(calls[i + 2].began - calls[i + 2].lastReturn);
    const Call& write = calls[i + 2];
    ASSERT_EQ(write.Arg(0), 513ul);
    ASSERT_EQ(write.args.size(), 3u);
    const std::vector<uint8_t> frame = Bytes(write.args[2]);
    ASSERT_EQ(frame.size(), 513u);
    EXPECT_EQ(frame[0], 0) << "start code";
    unsigned state = 3;
    for (unsigned s = 0; s < 3; ++s)
      if (frame == Expected(kStates[s])) state = s;
    ASSERT_LT(state, 3u) << "a frame of no lamps sent: " << write.args[2].substr(0, 80);
    states.push_back(state);
  }
  ASSERT_LT(i, calls.size());
  EXPECT_EQ(calls[i].name, "FT_Close") << "after the frames";
  EXPECT_EQ(i + 1, calls.size());

  // Each state in the order sent, each for many frames, the last one last.
  ASSERT_GE(states.size(), 40u) << "2 s of frames";
  EXPECT_TRUE(std::is_sorted(states.begin(), states.end()));
  EXPECT_EQ(states.back(), 2u);
  EXPECT_GE(std::count(states.begin(), states.end(), 1u), 10);
  for (double hold : holds) EXPECT_GE(hold, 100.0) << "the break, in µs";
  for (double mark : marks) EXPECT_GE(mark, 12.0) << "the mark after the break, in µs";

  // The frame rate: the median is asserted loosely (a loaded machine delays
  // single frames, not the schedule); the spread is printed for the notes.
  std::vector<double> intervals;
  for (size_t k = 1; k < starts.size(); ++k) intervals.push_back((starts[k] - starts[k - 1]) / 1000);
  std::sort(intervals.begin(), intervals.end());
  auto at = [&](double q) { return intervals[size_t(q * double(intervals.size() - 1))]; };
  const long outside = std::count_if(intervals.begin(), intervals.end(), [](double ms) { return ms < 23 || ms > 25; });
  std::printf("open dmx: %zu frames; interval ms min %.2f p5 %.2f p50 %.2f p95 %.2f max %.2f, %ld outside 23-25; "
              "break us min %.1f; mark us min %.1f\n",
              starts.size(), intervals.front(), at(0.05), at(0.5), at(0.95), intervals.back(), outside,
              *std::min_element(holds.begin(), holds.end()), *std::min_element(marks.begin(), marks.end()));
  EXPECT_GE(at(0.5), 20.0);
  EXPECT_LE(at(0.5), 30.0);
}

// No library anywhere (the build's own pipeserver.exe, nothing beside it
// or in Wine's system folder): one box naming it, then the program runs.
TEST_F(OpenDmx, WithoutTheLibraryOneBox) {
  Server server("-p 0 --opendmx");
  ASSERT_TRUE(server.started());
  HWND window = nullptr;
  const auto boxes = BoxesBeforeTheWindow(server, &window, {}, 20000);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Pipe Server Vantrelle");
  EXPECT_EQ(boxes[0].icon, BoxIcon::kExclamation);
  EXPECT_EQ(boxes[0].text.rfind("--opendmx 0: FTDI's D2XX library (ftd2xx.dll) is not installed", 0), 0u)
      << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("The program runs without this output."), std::string::npos);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowTitle(window), "Pipe Server Vantrelle (p:0)");
  ASSERT_EQ(RunLightsend({">5L0001"}), 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(server.Close(window), 0);
}

// The library, but not the interface asked for: one box, no frames, and the
// output left out (never looked for again).
TEST_F(OpenDmx, WithoutTheInterfaceOneBox) {
  Server server("-p 0 --opendmx 3", exe_);
  ASSERT_TRUE(server.started());
  HWND window = nullptr;
  const auto boxes = BoxesBeforeTheWindow(server, &window, {}, 20000);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("--opendmx 3: no FTDI interface 3 to open (FT_Open: status 2)", 0), 0u)
      << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("The program runs without this output."), std::string::npos);
  ASSERT_NE(window, nullptr);
  Sleep(1500);
  EXPECT_EQ(server.Close(window), 0);
  const std::vector<Call> calls = ReadCalls(log_);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].name, "FT_Open");
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"3", "2"}));
}

// Unplugged while running: the output's fault in "Outputs...", the
// interface looked for about once a second, frames again once it is back.
TEST_F(OpenDmx, UnpluggedAndBack) {
  Server server("-p 0 --opendmx", exe_);
  ASSERT_TRUE(server.started());
  HWND window = server.WaitForWindow(20000);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Answered("FT_Write", 0) >= 10; }, 5000));
  { std::ofstream flag(unplugged_); }
  // The next frame's first call fails.
  ASSERT_TRUE(WaitUntil([&] { return Answered("FT_SetBreakOn", 4) >= 1; }, 3000));
  const size_t opensBefore = Count(ReadCalls(log_), "FT_Open");
  Sleep(2500);
  const size_t tries = Count(ReadCalls(log_), "FT_Open") - opensBefore;
  EXPECT_GE(tries, 1u);
  EXPECT_LE(tries, 4u) << "looked for every frame, not once a second";
  EXPECT_EQ(Answered("FT_SetBreakOn", 4), 1u) << "no frames to a closed interface";
  EXPECT_EQ(Answered("FT_Write", 4), 0u);
  EXPECT_EQ(Answered("FT_Open", 2), tries) << "each try found nothing";

  PostMessageA(window, WM_SYSCOMMAND, 0x6010, 0);  // "Outputs..."
  HWND box = WaitForMessageBox(server.pid(), 5000);
  ASSERT_NE(box, nullptr);
  const BoxContents outputs = ReadMessageBox(box);
  EXPECT_EQ(outputs.text.rfind("Open DMX on FTDI interface 0: lamps 0-15 on channels 1-16, levels 255/0\n", 0), 0u)
      << outputs.text;
  EXPECT_NE(outputs.text.find("; now: the FTDI interface"), std::string::npos) << outputs.text;
  EXPECT_TRUE(PressOk(box));

  const size_t goodBefore = Answered("FT_Write", 0);
  DeleteFileA(unplugged_.c_str());
  EXPECT_TRUE(WaitUntil([&] { return Answered("FT_Write", 0) >= goodBefore + 10; }, 4000));
  EXPECT_EQ(server.Close(window), 0);
}

}  // namespace
