// Drives the real pipeserver.exe from outside, through the Win32 API only:
// starts it, finds its window and message boxes, reads them, presses their
// buttons, sends it lines and reads the pixels that it shows.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

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

// A running pipeserver.exe (or a copy of it) with a command tail. Whatever
// happens in a test, the destructor leaves no process behind.
class Server {
 public:
  explicit Server(const std::string& tail, const std::string& exe = ProgramPath("PIPESERVER_EXE"));
  explicit Server(const RawCommandLine& line, const std::string& exe = ProgramPath("PIPESERVER_EXE"));
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  bool started() const { return process_.hProcess != nullptr; }
  DWORD pid() const { return process_.dwProcessId; }
  // Its main window once it is visible, or nullptr after ms.
  HWND WaitForWindow(DWORD ms) const;
  // Its exit code, or -1 when it is still running after ms.
  long WaitForExit(DWORD ms) const;

 private:
  PROCESS_INFORMATION process_ = {};
};

// A visible message box of process pid, or nullptr after ms.
HWND WaitForMessageBox(DWORD pid, DWORD ms);

enum class BoxIcon { kNone, kHand, kExclamation, kInformation, kUnknown };
std::ostream& operator<<(std::ostream& out, BoxIcon icon);

struct BoxContents {
  std::string caption;
  std::string text;
  BoxIcon icon;
  HWND owner;
};

BoxContents ReadMessageBox(HWND box);
// Presses the OK button; true when the box has gone within ms.
bool PressOk(HWND box, DWORD ms = 3000);

std::string WindowTitle(HWND window);

// Sends lines with lightsend.exe; its exit code, or -1 if it hung.
long RunLightsend(const std::vector<std::string>& args, DWORD ms = 10000);

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

// What the screen shows, as colour values 0x00BBGGRR.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> colours;
  uint32_t At(int x, int y) const { return colours[size_t(y) * width + x]; }
  bool operator==(const Pixels& o) const {
    return width == o.width && height == o.height && colours == o.colours;
  }
};

// The window's client area as shown on the screen.
Pixels CaptureClient(HWND window);
// A rectangle of the screen.
Pixels CaptureScreen(const RECT& area);
// text drawn as the painter draws it (gray on black, the DC's default font)
// into a width x height picture that is black elsewhere.
Pixels RenderStatusText(const char* text, int width, int height);
