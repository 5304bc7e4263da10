// The main window of the FLTK front end: its painting from the shared lamp
// geometry, and a pop-up menu with "About" standing in for the Windows
// system menu (right mouse button or the Menu key).
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/fl_draw.H>

#include <thread>

#include "app/fltk_front.h"
#include "app/lamp_picture.h"
#include "app/listener_sink.h"
#include "app/main_window.h"
#include "app/output_start.h"
#include "app/shell_ops.h"
#include "app/ui_ops.h"
#include "lights/light_control.h"
#include "lightnet/outputs.h"

namespace {

// The Windows System font is about 16 pixels high: the text stays above the
// first row of lamps at y = 20.
constexpr Fl_Font kStatusFont = FL_HELVETICA_BOLD;
constexpr int kStatusSize = 14;

// Colours are kept as 0x00BBGGRR, as on Windows: red is the low byte.
Fl_Color ToFlColour(uint32_t colour) {
  return fl_rgb_color(uchar(colour & 0xFF), uchar((colour >> 8) & 0xFF), uchar((colour >> 16) & 0xFF));
}

class LampWindow : public Fl_Double_Window {
 public:
  LampWindow(int x, int y, int width, int height) : Fl_Double_Window(x, y, width, height) {}

  void draw() override {
    PaintLamps(w(), h());
    if (NotePaint) NotePaint(this);
  }

  int handle(int event) override {
    if (event == FL_PUSH && Fl::event_button() == FL_RIGHT_MOUSE) {
      PopUpMenu(Fl::event_x(), Fl::event_y());
      return 1;
    }
    if (event == FL_KEYBOARD && Fl::event_key() == FL_Menu) {
      PopUpMenu(0, 0);
      return 1;
    }
    if (event == FL_FOCUS || event == FL_UNFOCUS) return 1;  // Keys come to the window.
    return Fl_Double_Window::handle(event);
  }

 private:
  // "About", and "Outputs..." only when outputs run.
  static void PopUpMenu(int x, int y) {
    static const Fl_Menu_Item items[] = {
        {"About", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 14, FL_FOREGROUND_COLOR},
        {kOutputsItem, 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, FL_HELVETICA, 14, FL_FOREGROUND_COLOR},
        {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0}};
    static const Fl_Menu_Item aboutOnly[] = {items[0], items[2]};
    const Fl_Menu_Item* menu = OutputCount() > 0 ? items : aboutOnly;
    const Fl_Menu_Item* chosen = menu->popup(x, y);
    if (chosen == &menu[0]) ShowAboutBox();
    if (chosen != nullptr && chosen->label() == kOutputsItem) ShowOutputsBox();
  }
};

// Closing the window ends the program, whatever dialog is open: every
// window goes, so Fl::run returns. Escape, which closes FLTK windows by
// default, does not close this one (it does not close the Windows one).
void CloseMainWindow(Fl_Widget*, void*) {
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  while (Fl_Window* window = Fl::first_window()) window->hide();
}

}  // namespace

void PaintLamps(int width, int height) {
  const DisplayStateRecord state = SnapshotDisplayState();

  fl_color(ToFlColour(kBackgroundColour));
  fl_rectf(0, 0, width, height);

  // The text's top-left corner at (kTextX, kTextY): its baseline is one
  // ascent lower.
  fl_font(kStatusFont, kStatusSize);
  fl_color(ToFlColour(kTextColour));
  fl_draw(state.StatusText, kTextX, kTextY + fl_height() - fl_descent());

  LampCircle circles[kLampCount];
  ComputeLampCircles(state.Lamps, circles);
  for (const LampCircle& c : circles) {
    const int boxWidth = c.right - c.left, boxHeight = c.bottom - c.top;
    // Fill, then outline: the outline's pixels stay gray. Both cover the box
    // from left to right - 1, as Windows' Ellipse does.
    fl_color(ToFlColour(c.lit ? kLitColour : kDarkColour));
    fl_pie(c.left, c.top, boxWidth, boxHeight, 0, 360);
    fl_color(ToFlColour(kOutlineColour));
    fl_arc(c.left, c.top, boxWidth, boxHeight, 0, 360);
  }
}

// Not shown yet: placed on the screen in use, made the target of repaint
// requests, with the listener started, as the Windows program does on
// WM_CREATE.
void* CreateMainWindow(const char* title) {
  if (RunsHeadless()) return StartHeadlessListener();
  // On X the frame belongs to the window manager and its size is unknown
  // before the window is mapped, so the size that Windows gives the whole
  // window is the client area here: room for the 256 x 84 picture.
  int sx, sy, sw, sh;
  Fl::screen_work_area(sx, sy, sw, sh);
  const WindowPlace place = MainWindowPlace(sw, sh);
  auto* window = new LampWindow(sx + place.x, sy + place.y, place.width, place.height);
  window->copy_label(title);  // CaptionBuffer is reused later.
  window->xclass("PipeWClass");  // The Windows class name, as WM_CLASS.
  window->callback(CloseMainWindow);
  window->size_range(1, 1);   // Resizable, as WS_OVERLAPPEDWINDOW; the picture stays.
  window->end();

  SetRepaintTarget(window);
  std::thread([window] { RunListener(ProgramListenerSink(window)); }).detach();
  return static_cast<Fl_Window*>(window);
}

void ShowAboutBox() {
  RunMessageBox(kAboutText, APP_TITLE, kBoxOk | kBoxIconInformation);
}
