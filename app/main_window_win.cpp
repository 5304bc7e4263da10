// The main window: its procedure, the listener's start and the painting of
// the status text and the sixteen lamps.
#include "app/app_win.h"
#include "app/lamp_picture.h"
#include "app/listener_sink.h"
#include "app/main_window.h"
#include "app/output_start.h"
#include "lights/light_control.h"
#include "lightnet/outputs.h"

#include <cstring>

HINSTANCE AppInstance;
std::atomic<HWND> MainWindow{nullptr};
HBRUSH BlackBrush;
HBRUSH YellowBrush;
HPEN GrayPen;

namespace {

// CreateThread's signature around the platform-free listener; the window
// owns its error box.
DWORD WINAPI ListenerEntry(LPVOID owner) {
  return DWORD(RunListener(ProgramListenerSink(owner)));
}

void StartListener(HWND window) {
  // Stored before the thread exists, so its first repaint request (">???")
  // names this window even while CreateWindowExA has not returned yet.
  MainWindow.store(window);
  HANDLE thread = CreateThread(nullptr,  // Default security.
                               0,        // Default stack size.
                               ListenerEntry, window,
                               0,  // Run at once.
                               nullptr);
  // The thread runs until the process ends; its handle is not needed.
  if (thread != nullptr) CloseHandle(thread);
}

}  // namespace

void PaintLamps(HDC dc) {
  // Drawn from a copy, so the listener never waits for the painting and the
  // picture never shows a half-applied line.
  const DisplayStateRecord state = SnapshotDisplayState();
  LampCircle circles[kLampCount];
  ComputeLampCircles(state.Lamps, circles);

  SetTextColor(dc, kTextColour);
  SetBkColor(dc, kBackgroundColour);
  TextOutA(dc, kTextX, kTextY, state.StatusText, int(std::strlen(state.StatusText)));

  // The previous pen and brush are not put back: EndPaint releases the DC.
  SelectObject(dc, GrayPen);
  for (const LampCircle& circle : circles) {
    SelectObject(dc, circle.lit ? YellowBrush : BlackBrush);
    Ellipse(dc, circle.left, circle.top, circle.right, circle.bottom);
  }
}

LRESULT CALLBACK PipeWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      StartListener(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // Logoff and shutdown may go on.
    case WM_ENDSESSION:
      // The process may be ended as soon as this returns: the outputs' last
      // packets go now (RunProgram's own stop, if it comes, does nothing).
      if (wParam) StopOutputs();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      PaintLamps(dc);
      EndPaint(window, &paint);
      if (NotePaint) NotePaint(window);
      return 0;
    }
    case WM_SYSCOMMAND:
      if (wParam == IDM_ABOUT)
        MessageBoxA(nullptr, kAboutText, APP_TITLE, MB_ICONINFORMATION | MB_OK);
      else if (wParam == IDM_OUTPUTS && OutputCount() > 0)
        ShowOutputsBox();
      break;  // Every system command, "About" included, goes on to the default.
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
