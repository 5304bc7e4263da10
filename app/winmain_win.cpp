// The Windows program's entry: platform check, drawing objects, command
// tail, port, main window, message loop and shutdown.
#include "app/app_win.h"
#include "app/command_tail.h"
#include "app/main_window.h"
#include "lights/light_control.h"
#include "lights/parallel_port.h"
#include "res/strings.h"

namespace {

// The named pipe needs the NT family; anything else is told so and ends.
bool RunningOnNt() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = 148;  // sizeof(OSVERSIONINFOA): the basic record.
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.style = 0;  // No redraw on resize: the picture has a fixed size.
  windowClass.lpfnWndProc = PipeWndProc;
  windowClass.cbClsExtra = 0;  // No extra class bytes.
  windowClass.cbWndExtra = 0;  // No extra window bytes.
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, "npserver");
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = BlackBrush;
  windowClass.lpszMenuName = "PipeMenu";  // No such menu: the window has no menu bar.
  windowClass.lpszClassName = "PipeWClass";
  RegisterClassA(&windowClass);
}

HWND CreateMainWindow(HINSTANCE instance) {
  const WindowPlace place =
      MainWindowPlace(GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
  return CreateWindowExA(0,  // No extended style.
                         "PipeWClass", CaptionBuffer, WS_OVERLAPPEDWINDOW, place.x, place.y,
                         place.width, place.height,
                         nullptr,  // No parent.
                         nullptr,  // No menu.
                         instance,
                         nullptr);  // No creation data.
}

void AddAboutToSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (menu == nullptr) return;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | MF_BYPOSITION, IDM_ABOUT, "About");  // Appended: the position is the end.
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int showState) {
  if (!RunningOnNt()) {
    LoadStringA(instance, IDS_NOT_NT, CaptionBuffer, 255);
    MessageBoxA(nullptr, CaptionBuffer, APP_TITLE, MB_ICONHAND | MB_OK);
    return 0;
  }

  BlackBrush = CreateSolidBrush(0x000000);
  YellowBrush = CreateSolidBrush(0x00FFFF);
  GrayPen = CreatePen(PS_SOLID, 1, 0x808080);

  AppInstance = instance;  // LoadText reads the string table through it.
  ClearDisplayState();
  PortBase = 0;
  RegisterMainWindowClass(instance);

  const CommandTail tail = ReadCommandTail(commandTail);
  PortBase = tail.port;
  // Before any window: the test's boxes describe the pins while they show,
  // and a port without access falls back to the emulation mode here.
  StartPortOutput(tail.hardwareTest);
  FormatMainWindowTitle(PortBase);

  HWND window = CreateMainWindow(instance);
  MainWindow.store(window);
  AddAboutToSystemMenu(window);
  ShowWindow(window, showState);

  MSG message = {};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);

  DeleteObject(BlackBrush);
  DeleteObject(YellowBrush);
  DeleteObject(GrayPen);
  return int(message.wParam);
}
