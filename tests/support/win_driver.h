// The Win32 test driver that every Windows end-to-end test uses: drives the
// real pipeserver.exe from outside, through the Win32 API only: starts it,
// finds its window and message boxes, reads them, presses their buttons,
// sends it lines and reads the pixels that it shows. Every process it
// starts is in one kill-on-close job, so that none outlives the driver,
// even when CTest kills it at a time-out.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/lamp_reader.h"

// The programs under test, from the environment that CTest sets
// (PIPESERVER_EXE, LIGHTSEND_EXE, ...), as Windows paths.
std::string ProgramPath(const char* variable);

// Polls condition every 20 ms until it holds or ms have passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD ms);

// A whole command line, program name included, exactly as CreateProcessA
// hands it to the program.
struct RawCommandLine {
  std::string line;
};

// A program started in the driver's job with a command tail (or a whole
// command line), and with standard input from a file when one is named.
// Whatever happens in a test, the destructor leaves no process behind.
class Process {
 public:
  Process(const std::string& exe, const std::string& tail, const std::string& inputFile = "");
  Process(const std::string& exe, const RawCommandLine& line);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return process_.hProcess != nullptr; }
  bool Running() const;
  DWORD pid() const { return process_.dwProcessId; }
  // Its exit code, or -1 when it is still running after ms.
  long WaitForExit(DWORD ms) const;

 private:
  void Start(const std::string& exe, const std::string& line, const std::string& inputFile);

  HANDLE input_ = INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION process_ = {};
};

// A running pipeserver.exe (or a copy of it) with a command tail.
class Server : public Process {
 public:
  explicit Server(const std::string& tail, const std::string& exe = ProgramPath("PIPESERVER_EXE"))
      : Process(exe, tail) {}
  explicit Server(const RawCommandLine& line, const std::string& exe = ProgramPath("PIPESERVER_EXE"))
      : Process(exe, line) {}
  // Its main window once it is visible, or nullptr after ms.
  HWND WaitForWindow(DWORD ms) const;
  // Asks window to close; the exit code, or -1 when it still runs after 5 s.
  long Close(HWND window) const {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return WaitForExit(5000);
  }
};

// A test with a program of its own, started once no copy from before is
// running, and its main window.
class ServerTest : public ::testing::Test {
 protected:
  explicit ServerTest(std::string exe = ProgramPath("PIPESERVER_EXE")) : exe_(std::move(exe)) {}
  void SetUp() override;
  // Asks the window to close; the program must end with code 0 within 5 s.
  void CloseAndExpectExit();
  Server& server() { return *server_; }

  HWND window_ = nullptr;

 private:
  std::string exe_;
  std::unique_ptr<Server> server_;
};

// A visible dialog or message box of process pid (owned by owner, unless
// that is null), or nullptr after ms.
HWND WaitForDialog(DWORD pid, HWND owner, DWORD ms);
inline HWND WaitForMessageBox(DWORD pid, DWORD ms) { return WaitForDialog(pid, nullptr, ms); }

enum class BoxIcon { kNone, kHand, kExclamation, kInformation, kUnknown };
std::ostream& operator<<(std::ostream& out, BoxIcon icon);

struct BoxContents {
  std::string caption;
  std::string text;
  BoxIcon icon;
  HWND owner;
};
bool operator==(const BoxContents& a, const BoxContents& b);
std::ostream& operator<<(std::ostream& out, const BoxContents& box);

BoxContents ReadMessageBox(HWND box);
// Presses the OK button; true when the box has gone within ms.
bool PressOk(HWND box, DWORD ms = 3000);

// The boxes a program showed before its main window, in order, each handed
// to onBox while open and then closed with OK; *window is null when none
// came within ms (a box that does not close ends the wait: the caller sees
// the count).
std::vector<BoxContents> BoxesBeforeTheWindow(
    const Server& server, HWND* window, const std::function<void(const BoxContents&)>& onBox = {},
    DWORD ms = 60000);

std::string WindowTitle(HWND window);

// Sends lines with lightsend.exe; its exit code, or -1 if it hung.
long RunLightsend(const std::vector<std::string>& args, DWORD ms = 10000);

// lightsend.exe with the arguments, reading lines from the file (as its
// standard input), running in the driver's job.
std::unique_ptr<Process> StartLightsend(const std::string& args, const std::string& inputFile);

// A client of the pipe that the test itself holds open.
class PipeClient {
 public:
  // Connects within ms; check connected().
  explicit PipeClient(DWORD ms = 3000);
  ~PipeClient();
  bool connected() const { return pipe_ != INVALID_HANDLE_VALUE; }
  bool Send(const std::string& bytes);

 private:
  HANDLE pipe_ = INVALID_HANDLE_VALUE;
};

// The window's client area as shown on the screen.
Pixels CaptureClient(HWND window);
// A rectangle of the screen.
Pixels CaptureScreen(const RECT& area);
// Saves the picture as a binary PPM (P6); false when it cannot be written.
bool WritePpm(const Pixels& pixels, const char* path);
// What draw puts into a width x height picture that is black before it.
Pixels DrawnPixels(int width, int height, const std::function<void(HDC)>& draw);
// text drawn as the painter draws it (gray on black, the DC's default font)
// into a width x height picture that is black elsewhere.
Pixels RenderStatusText(const char* text, int width, int height);

// --- what the window shows ---------------------------------------------

constexpr int kTextWidth = 80, kTextHeight = 18;  // The status text's area.

// The status text's area of the window now shows text, drawn as the painter
// draws it.
bool ShowsText(HWND window, const char* text);

// The window's lamps as value says (LampsDiffer, lamp_reader.h).
inline bool ShowsLamps(HWND window, unsigned value) {
  return LampsDiffer(CaptureClient(window), value).empty();
}
