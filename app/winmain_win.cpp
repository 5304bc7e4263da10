// The Windows program's entry and its window-system steps of start-up and
// shutdown (app/shell_ops.h); the order is RunProgram's (app/program.cpp).
#include "app/app_win.h"
#include "app/command_tail.h"
#include "app/main_window.h"
#include "app/output_start.h"
#include "app/program.h"
#include "app/shell_ops.h"
#include "lightnet/outputs.h"

namespace {

int ShowState = SW_SHOWDEFAULT;  // As WinMain was handed it.

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace

bool PlatformIsSupported() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = 148;  // sizeof(OSVERSIONINFOA): the basic record.
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void CreateDrawingObjects() {
  BlackBrush = CreateSolidBrush(0x000000);
  YellowBrush = CreateSolidBrush(0x00FFFF);
  GrayPen = CreatePen(PS_SOLID, 1, 0x808080);
}

void RegisterMainWindowClass() {
  WNDCLASSA windowClass = {};
  windowClass.style = 0;  // No redraw on resize: the picture has a fixed size.
  windowClass.lpfnWndProc = PipeWndProc;
  windowClass.cbClsExtra = 0;  // No extra class bytes.
  windowClass.cbWndExtra = 0;  // No extra window bytes.
  windowClass.hInstance = AppInstance;
  windowClass.hIcon = LoadIconA(AppInstance, "npserver");
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = BlackBrush;
  windowClass.lpszMenuName = "PipeMenu";  // No such menu: the window has no menu bar.
  windowClass.lpszClassName = "PipeWClass";
  RegisterClassA(&windowClass);
}

void* CreateMainWindow(const char* title) {
  const WindowPlace place =
      MainWindowPlace(GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
  HWND window = CreateWindowExA(0,  // No extended style.
                                "PipeWClass", title, WS_OVERLAPPEDWINDOW, place.x, place.y,
                                place.width, place.height,
                                nullptr,  // No parent.
                                nullptr,  // No menu.
                                AppInstance,
                                nullptr);  // No creation data.
  MainWindow.store(window);  // WM_CREATE stored it already, for the listener.
  return window;
}

void AddAboutToSystemMenu(void* window) {
  HMENU menu = GetSystemMenu(static_cast<HWND>(window), FALSE);
  if (menu == nullptr) return;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | MF_BYPOSITION, IDM_ABOUT, "About");  // Appended: the position is the end.
  // Only with outputs: every other run keeps its system menu as it was.
  if (OutputCount() > 0) AppendMenuA(menu, MF_STRING, IDM_OUTPUTS, kOutputsItem);
}

void ShowMainWindow(void* window) { ShowWindow(static_cast<HWND>(window), ShowState); }

int RunMessageLoop() {
  MSG message = {};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return int(message.wParam);
}

void DeleteDrawingObjects() {
  DeleteObject(BlackBrush);
  DeleteObject(YellowBrush);
  DeleteObject(GrayPen);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
  // Set first: LoadText reads the string table through it, the refusal's
  // text included.
  AppInstance = instance;
  ShowState = showState;
  // The tail by the system's rule, from the whole command line: mingw's
  // start-up code cuts its own differently (after "name"-p 378 it keeps
  // only 378, and it stops an unquoted name at a byte above 0x7F).
  return RunProgram(CommandTailOf(GetCommandLineA(), IsLeadByte));
}
