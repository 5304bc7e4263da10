#include "tests/support/win_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pipe/pipe_name.h"

std::string ProgramPath(const char* variable) {
  const char* value = std::getenv(variable);
  std::string path = value != nullptr ? value : "";
  // CTest hands over the build's Unix paths; Wine maps / to the drive Z:.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= ms) return false;
    Sleep(20);
  }
}

namespace {

// Every program that the driver starts, so that they end with the driver
// even when CTest kills it at a time-out.
HANDLE ChildJob() {
  static HANDLE job = [] {
    HANDLE created = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return created;
  }();
  return job;
}

long WaitForProcess(HANDLE process, DWORD ms) {
  if (WaitForSingleObject(process, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return long(code);
}

struct Search {
  DWORD pid;
  const char* className;
  HWND owner;  // Null: any owner.
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (owner == search->pid && std::strcmp(name, search->className) == 0 && IsWindowVisible(window) &&
      (search->owner == nullptr || GetWindow(window, GW_OWNER) == search->owner)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindVisibleWindow(DWORD pid, const char* className, HWND owner = nullptr) {
  Search search = {pid, className, owner, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

// The command line of a tail: the program's quoted path, a blank, the tail.
Process::Process(const std::string& exe, const std::string& tail, const std::string& inputFile) {
  Start(exe, "\"" + exe + "\"" + (tail.empty() ? "" : " " + tail), inputFile);
}

Process::Process(const std::string& exe, const RawCommandLine& line) { Start(exe, line.line, ""); }

void Process::Start(const std::string& exe, const std::string& line, const std::string& inputFile) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!inputFile.empty()) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    input_ = CreateFileA(inputFile.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0,
                         nullptr);
    if (input_ == INVALID_HANDLE_VALUE) return;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  // Suspended until it is in the job: nothing it starts can escape it.
  if (!CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, input_ != INVALID_HANDLE_VALUE,
                      CREATE_SUSPENDED, nullptr, nullptr, &startup, &process_)) {
    process_ = {};
    return;
  }
  AssignProcessToJobObject(ChildJob(), process_.hProcess);
  ResumeThread(process_.hThread);
}

Process::~Process() {
  if (process_.hProcess != nullptr) {
    if (Running()) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  if (input_ != INVALID_HANDLE_VALUE) CloseHandle(input_);
}

bool Process::Running() const {
  return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

long Process::WaitForExit(DWORD ms) const {
  if (process_.hProcess == nullptr) return -1;
  return WaitForProcess(process_.hProcess, ms);
}

HWND Server::WaitForWindow(DWORD ms) const {
  HWND window = nullptr;
  WaitUntil([&] { return (window = FindVisibleWindow(pid(), "PipeWClass")) != nullptr; }, ms);
  return window;
}

void ServerTest::SetUp() {
  ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
  server_ = std::make_unique<Server>("", exe_);
  ASSERT_TRUE(server_->started()) << exe_;
  window_ = server_->WaitForWindow(10000);
  ASSERT_NE(window_, nullptr) << "no main window within 10 s";
}

void ServerTest::CloseAndExpectExit() { EXPECT_EQ(server_->Close(window_), 0); }

HWND WaitForDialog(DWORD pid, HWND owner, DWORD ms) {
  HWND box = nullptr;
  WaitUntil([&] { return (box = FindVisibleWindow(pid, "#32770", owner)) != nullptr; }, ms);
  return box;
}

namespace {

struct Statics {
  HWND icon = nullptr;
  HWND text = nullptr;
};

BOOL CALLBACK NoteStatic(HWND child, LPARAM param) {
  auto* statics = reinterpret_cast<Statics*>(param);
  char name[32] = {};
  GetClassNameA(child, name, sizeof name);
  if (_stricmp(name, "Static") != 0) return TRUE;
  if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
    statics->icon = child;
  else if (GetWindowTextLengthA(child) > 0)
    statics->text = child;
  return TRUE;
}

std::string TextOf(HWND window) {
  if (window == nullptr) return "";
  std::vector<char> text(size_t(GetWindowTextLengthA(window)) + 1);
  GetWindowTextA(window, text.data(), int(text.size()));
  return text.data();
}

// Which of the system's icons the control shows: its pixels on the screen
// against each icon drawn on the same background. A handle comparison
// cannot work across processes.
BoxIcon IdentifyIcon(HWND control) {
  if (control == nullptr || !IsWindowVisible(control)) return BoxIcon::kNone;
  RECT area;
  GetWindowRect(control, &area);
  const int size = GetSystemMetrics(SM_CXICON);
  area.right = area.left + size;
  area.bottom = area.top + size;
  const Pixels shown = CaptureScreen(area);
  struct Candidate {
    BoxIcon icon;
    LPCSTR id;
  } const candidates[] = {{BoxIcon::kHand, IDI_HAND},
                          {BoxIcon::kExclamation, IDI_EXCLAMATION},
                          {BoxIcon::kInformation, IDI_ASTERISK}};
  BoxIcon best = BoxIcon::kUnknown;
  size_t bestMatches = 0;
  for (const Candidate& candidate : candidates) {
    const Pixels drawn = DrawnPixels(size, size, [&](HDC dc) {
      HBRUSH background = CreateSolidBrush(shown.At(0, 0));  // A corner: outside every icon.
      RECT all = {0, 0, size, size};
      FillRect(dc, &all, background);
      DeleteObject(background);
      DrawIconEx(dc, 0, 0, LoadIconA(nullptr, candidate.id), size, size, 0, nullptr, DI_NORMAL);
    });
    size_t matches = 0;
    for (size_t i = 0; i < drawn.colours.size(); ++i) matches += drawn.colours[i] == shown.colours[i];
    if (matches > bestMatches) bestMatches = matches, best = candidate.icon;
  }
  // Nearly every pixel, or it is none of them.
  return bestMatches * 100 >= size_t(size * size) * 95 ? best : BoxIcon::kUnknown;
}

}  // namespace

BoxContents ReadMessageBox(HWND box) {
  Statics statics;
  EnumChildWindows(box, NoteStatic, reinterpret_cast<LPARAM>(&statics));
  // A box that has just appeared may not have painted its icon yet.
  BoxIcon icon = BoxIcon::kUnknown;
  WaitUntil([&] { return (icon = IdentifyIcon(statics.icon)) != BoxIcon::kUnknown; }, 2000);
  return {TextOf(box), TextOf(statics.text), icon, GetWindow(box, GW_OWNER)};
}

std::vector<BoxContents> BoxesBeforeTheWindow(const Server& server, HWND* window,
                                              const std::function<void(const BoxContents&)>& onBox, DWORD ms) {
  std::vector<BoxContents> boxes;
  *window = nullptr;
  WaitUntil(
      [&] {
        if (HWND box = WaitForMessageBox(server.pid(), 0)) {
          boxes.push_back(ReadMessageBox(box));
          if (onBox) onBox(boxes.back());
          if (!PressOk(box)) return true;
        }
        return (*window = server.WaitForWindow(0)) != nullptr;
      },
      ms);
  return boxes;
}

bool PressOk(HWND box, DWORD ms) {
  HWND button = GetDlgItem(box, IDOK);
  if (button != nullptr)
    PostMessageA(button, BM_CLICK, 0, 0);
  else
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  return WaitUntil([&] { return !IsWindow(box); }, ms);
}

std::ostream& operator<<(std::ostream& out, BoxIcon icon) {
  const char* const names[] = {"no icon", "hand", "exclamation", "information", "unknown icon"};
  return out << names[int(icon)];
}

bool operator==(const BoxContents& a, const BoxContents& b) {
  return a.caption == b.caption && a.text == b.text && a.icon == b.icon && a.owner == b.owner;
}

std::ostream& operator<<(std::ostream& out, const BoxContents& box) {
  return out << "caption \"" << box.caption << "\", text \"" << box.text << "\", " << box.icon
             << ", owner " << box.owner;
}

std::string WindowTitle(HWND window) { return TextOf(window); }

long RunLightsend(const std::vector<std::string>& args, DWORD ms) {
  std::string tail;
  for (const std::string& arg : args) tail += (tail.empty() ? "" : " ") + ("\"" + arg + "\"");
  const Process lightsend(ProgramPath("LIGHTSEND_EXE"), tail);
  return lightsend.WaitForExit(ms);  // A hung one ends with the Process.
}

std::unique_ptr<Process> StartLightsend(const std::string& args, const std::string& inputFile) {
  return std::make_unique<Process>(ProgramPath("LIGHTSEND_EXE"), args, inputFile);
}

PipeClient::PipeClient(DWORD ms) {
  WaitUntil(
      [&] {
        pipe_ = CreateFileA(PIPE_WINDOWS_PATH, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return pipe_ != INVALID_HANDLE_VALUE;
      },
      ms);
}

PipeClient::~PipeClient() {
  if (connected()) CloseHandle(pipe_);
}

bool PipeClient::Send(const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(pipe_, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

namespace {

// Copies a device context's area into 32-bit pixels, top row first.
Pixels ReadPixels(HDC source, int left, int top, int width, int height) {
  Pixels pixels;
  pixels.width = width;
  pixels.height = height;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // Top-down.
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, width, height, source, left, top, SRCCOPY);
  GdiFlush();
  const auto* raw = static_cast<const uint32_t*>(bits);
  for (int i = 0; i < width * height; ++i) {
    const uint32_t p = raw[i];  // 0x00RRGGBB in a DIB.
    pixels.colours.push_back(((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF));
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return pixels;
}

}  // namespace

Pixels CaptureScreen(const RECT& area) {
  HDC screen = GetDC(nullptr);
  Pixels pixels = ReadPixels(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
  ReleaseDC(nullptr, screen);
  return pixels;
}

bool WritePpm(const Pixels& pixels, const char* path) {
  FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  std::fprintf(out, "P6\n%d %d\n255\n", pixels.width, pixels.height);
  for (uint32_t c : pixels.colours) {  // 0x00BBGGRR: red is the low byte.
    const unsigned char rgb[3] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)};
    std::fwrite(rgb, 1, 3, out);
  }
  return std::fclose(out) == 0;
}

Pixels CaptureClient(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  return CaptureScreen({origin.x, origin.y, origin.x + client.right, origin.y + client.bottom});
}

Pixels DrawnPixels(int width, int height, const std::function<void(HDC)>& draw) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  SelectObject(dc, bitmap);
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  draw(dc);
  Pixels pixels = ReadPixels(dc, 0, 0, width, height);
  DeleteDC(dc);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return pixels;
}

Pixels RenderStatusText(const char* text, int width, int height) {
  return DrawnPixels(width, height, [&](HDC dc) {
    SetTextColor(dc, 0x808080);
    SetBkColor(dc, 0x000000);
    TextOutA(dc, 0, 0, text, int(std::strlen(text)));
  });
}

bool ShowsText(HWND window, const char* text) {
  const Pixels client = CaptureClient(window);
  if (client.width < kTextWidth || client.height < kTextHeight) return false;
  const Pixels want = RenderStatusText(text, kTextWidth, kTextHeight);
  for (int y = 0; y < kTextHeight; ++y)
    for (int x = 0; x < kTextWidth; ++x)
      if (client.At(x, y) != want.At(x, y)) return false;
  return true;
}
