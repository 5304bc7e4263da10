// Draws a known status text the way the main window must show it: gray
// (128,128,128) on black, its top-left corner at (0, 0), in the window's
// font. The tests compare the program's text area with a capture of this
// window. Usage: status_text_ref TEXT (window title "status text reference").
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

namespace {

const char* Text = "";

class Reference : public Fl_Window {
 public:
  Reference() : Fl_Window(0, 0, 266, 113, "status text reference") {}
  void draw() override {
    fl_color(fl_rgb_color(0, 0, 0));
    fl_rectf(0, 0, w(), h());
    fl_font(FL_HELVETICA_BOLD, 14);
    fl_color(fl_rgb_color(128, 128, 128));
    fl_draw(Text, 0, fl_height() - fl_descent());
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) Text = argv[1];
  Reference window;
  window.show();
  return Fl::run();
}
