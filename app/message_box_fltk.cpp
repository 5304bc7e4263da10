// The message box of the FLTK front end: the caption as the window title,
// a symbol for the style, the text and an OK button; Return or Escape closes
// it, as they close a Windows message box.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <string>

#include "app/fltk_front.h"
#include "app/ui_ops.h"

namespace {

constexpr int kMargin = 12, kSymbolSize = 44, kButtonWidth = 80, kButtonHeight = 26;
constexpr Fl_Font kTextFont = FL_HELVETICA;
constexpr int kTextSize = 14;

struct Symbol {
  const char* label;
  Fl_Color colour;
};

// The Windows box's icon, in letters: a stop sign, an exclamation mark or an
// "i" for information. The icon bits are 0x10, 0x30 and 0x40.
Symbol SymbolFor(unsigned style) {
  switch (style & 0xF0) {
    case kBoxIconStop: return {"X", FL_RED};
    case kBoxIconWarning: return {"!", FL_DARK_YELLOW};
    case kBoxIconInformation: return {"i", FL_BLUE};
    default: return {"", FL_BLACK};
  }
}

void SetTextProperty(Window window, const char* name, const std::string& value) {
  const Atom property = XInternAtom(fl_display, name, False);
  const Atom utf8 = XInternAtom(fl_display, "UTF8_STRING", False);
  XChangeProperty(fl_display, window, property, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(value.data()), int(value.size()));
}

void CloseBox(Fl_Widget* widget, void*) {
  Fl_Window* box = widget->as_window() ? widget->as_window() : widget->window();
  box->hide();
}

// FLTK reads '@' in a label as the start of a symbol; "@@" draws one '@'.
std::string PlainLabel(const char* text) {
  std::string label;
  for (const char* c = text; *c; ++c) label += (*c == '@') ? "@@" : std::string(1, *c);
  return label;
}

}  // namespace

void RunMessageBox(const char* text, const char* caption, unsigned style) {
  if (ExitRequested()) return;  // The program is closing: a box would hold it up.
  fl_font(kTextFont, kTextSize);
  int textWidth = 0, textHeight = 0;
  fl_measure(text, textWidth, textHeight, 0);
  textWidth = std::max(textWidth, 120);
  textHeight = std::max(textHeight, kSymbolSize);

  const int width = kMargin * 3 + kSymbolSize + textWidth;
  const int height = kMargin * 3 + textHeight + kButtonHeight;
  int sx, sy, sw, sh;
  Fl::screen_work_area(sx, sy, sw, sh);
  Fl_Window box(sx + (sw - width) / 2, sy + (sh - height) / 2, width, height);
  box.copy_label(caption);
  box.callback(CloseBox);

  const Symbol symbol = SymbolFor(style);
  Fl_Box icon(kMargin, kMargin, kSymbolSize, kSymbolSize, symbol.label);
  icon.box(FL_OVAL_BOX);
  icon.color(FL_WHITE);
  icon.labelcolor(symbol.colour);
  icon.labelfont(FL_HELVETICA_BOLD);
  icon.labelsize(28);

  Fl_Box message(kMargin * 2 + kSymbolSize, kMargin, textWidth, textHeight);
  message.copy_label(PlainLabel(text).c_str());
  message.labeltype(FL_NORMAL_LABEL);
  message.labelfont(kTextFont);
  message.labelsize(kTextSize);
  message.align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);

  Fl_Return_Button ok((width - kButtonWidth) / 2, height - kMargin - kButtonHeight, kButtonWidth,
                      kButtonHeight, "OK");
  ok.callback(CloseBox);
  box.end();

  box.show();
  Fl::flush();
  SetTextProperty(fl_xid(&box), "_PIPESERVER_BOX_TEXT", text);
  SetTextProperty(fl_xid(&box), "_PIPESERVER_BOX_STYLE", std::to_string(style));
  XFlush(fl_display);

  while (box.shown()) Fl::wait();
}
