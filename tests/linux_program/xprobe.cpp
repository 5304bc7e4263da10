// What the end-to-end tests need from X and from window captures:
//   xprobe close WINDOW              ask the window to close (WM_DELETE_WINDOW)
//   xprobe prop WINDOW NAME          print a text property of the window
//   xprobe capture WINDOW FILE.ppm   save the window's client area
//   xprobe lamps FILE.ppm BANK0 BANK1 text|empty
//                                    check the picture against two lamp bytes
//   xprobe compare A.ppm B.ppm [X0 Y0 X1 Y1 [MAX]]
//                                    compare a region (default: the lamps);
//                                    fails when more than MAX (0) pixels differ
// The lamps are read by tests/support/lamp_reader.h, as every test reads them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/lamp_reader.h"

namespace {

int Red(uint32_t c) { return int(c & 0xFF); }
int Green(uint32_t c) { return int((c >> 8) & 0xFF); }
int Blue(uint32_t c) { return int((c >> 16) & 0xFF); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "xprobe: %s\n", message.c_str());
  return 2;
}

Display* OpenDisplay() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) std::fprintf(stderr, "xprobe: cannot open the display\n");
  return display;
}

Window ParseWindow(const char* text) { return Window(std::strtoul(text, nullptr, 0)); }

int Close(Window window) {
  Display* display = OpenDisplay();
  if (!display) return 2;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XCloseDisplay(display);
  return 0;
}

int Property(Window window, const char* name) {
  Display* display = OpenDisplay();
  if (!display) return 2;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  const Atom property = XInternAtom(display, name, False);
  const int status = XGetWindowProperty(display, window, property, 0, 65536, False, AnyPropertyType, &type,
                                        &format, &count, &after, &data);
  const bool found = status == Success && data && format == 8;
  if (found) std::fwrite(data, 1, count, stdout);
  if (data) XFree(data);
  XCloseDisplay(display);
  return found ? 0 : 1;
}

int Channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const unsigned long max = mask >> shift;
  return int(((pixel & mask) >> shift) * 255 / max);
}

int Capture(Window window, const char* file) {
  Display* display = OpenDisplay();
  if (!display) return 2;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return Fail("no such window");
  XImage* image = XGetImage(display, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                            AllPlanes, ZPixmap);
  if (!image) return Fail("cannot read the window's pixels");
  std::ofstream out(file, std::ios::binary);
  out << "P6\n" << image->width << ' ' << image->height << "\n255\n";
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      out.put(char(Channel(pixel, image->red_mask)));
      out.put(char(Channel(pixel, image->green_mask)));
      out.put(char(Channel(pixel, image->blue_mask)));
    }
  XDestroyImage(image);
  XCloseDisplay(display);
  return out ? 0 : Fail("cannot write the capture");
}

// Colours as 0x00BBGGRR, as lamp_reader.h takes them.
bool ReadPpm(const char* file, Pixels& image) {
  std::ifstream in(file, std::ios::binary);
  std::string magic;
  int max = 0;
  in >> magic >> image.width >> image.height >> max;
  in.get();
  if (!in || magic != "P6" || max != 255) return false;
  image.colours.resize(size_t(image.width) * image.height);
  for (uint32_t& p : image.colours) {
    const uint32_t r = uint32_t(in.get()), g = uint32_t(in.get()), b = uint32_t(in.get());
    p = r | g << 8 | b << 16;
  }
  return bool(in);
}

std::string Show(uint32_t c) {
  char text[32];
  std::snprintf(text, sizeof text, "(%d,%d,%d)", Red(c), Green(c), Blue(c));
  return text;
}

int Lamps(const char* file, unsigned bank0, unsigned bank1, bool textExpected) {
  Pixels image;
  if (!ReadPpm(file, image)) return Fail(std::string("cannot read ") + file);
  if (image.width < kLampsRight || image.height < kLampsBottom) return Fail("the capture is smaller than the picture");
  int errors = 0;
  auto expect = [&](int x, int y, uint32_t want, const char* what) {
    const uint32_t got = image.At(x, y);
    if (got == want) return;
    std::fprintf(stderr, "at (%d,%d) %s: want %s, got %s\n", x, y, what, Show(want).c_str(), Show(got).c_str());
    ++errors;
  };
  const std::string lamps = LampsDiffer(image, bank0 | bank1 << 8);
  if (!lamps.empty()) {
    std::fputs(lamps.c_str(), stderr);
    ++errors;
  }
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if ((x >= kLampsRight || y >= kLampsBottom) && image.At(x, y) != kBackgroundColour) {
        expect(x, y, kBackgroundColour, "background");
        y = image.height;  // One report is enough.
        break;
      }

  // The status text: gray (with its smoothed edges darker) on black, above
  // the lamps, starting at the left edge.
  int grayPixels = 0, left = image.width;
  for (int y = 0; y < kRowTop[0]; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint32_t p = image.At(x, y);
      if (p == kBackgroundColour) continue;
      if (Red(p) != Green(p) || Green(p) != Blue(p) || Red(p) > Red(kTextColour)) {
        expect(x, y, kTextColour, "status text colour");
        continue;
      }
      if (p == kTextColour) ++grayPixels;
      if (x < left) left = x;
    }
  if (textExpected && (grayPixels == 0 || left > 3)) {
    std::fprintf(stderr, "status text: want gray text from x = 0, got %d gray pixels, leftmost at %d\n", grayPixels,
                 left);
    ++errors;
  }
  if (!textExpected && left != image.width) {
    std::fprintf(stderr, "status text: want none, got pixels from x = %d\n", left);
    ++errors;
  }
  return errors ? 1 : 0;
}

int Compare(const char* fileA, const char* fileB, int x0, int y0, int x1, int y1, int allowed) {
  Pixels a, b;
  if (!ReadPpm(fileA, a)) return Fail(std::string("cannot read ") + fileA);
  if (!ReadPpm(fileB, b)) return Fail(std::string("cannot read ") + fileB);
  if (a.width < x1 || b.width < x1 || a.height < y1 || b.height < y1) return Fail("a capture is too small");
  int differ = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (a.At(x, y) != b.At(x, y)) {
        if (differ++ < 5)
          std::fprintf(stderr, "at (%d,%d): %s vs %s\n", x, y, Show(a.At(x, y)).c_str(), Show(b.At(x, y)).c_str());
      }
  if (differ) std::fprintf(stderr, "%d pixels differ in (%d,%d)-(%d,%d)\n", differ, x0, y0, x1, y1);
  return differ > allowed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "close" && argc == 3) return Close(ParseWindow(argv[2]));
  if (command == "prop" && argc == 4) return Property(ParseWindow(argv[2]), argv[3]);
  if (command == "capture" && argc == 4) return Capture(ParseWindow(argv[2]), argv[3]);
  if (command == "lamps" && argc == 6)
    return Lamps(argv[2], unsigned(std::strtoul(argv[3], nullptr, 16)), unsigned(std::strtoul(argv[4], nullptr, 16)),
                 std::strcmp(argv[5], "text") == 0);
  if (command == "compare" && argc == 4) return Compare(argv[2], argv[3], 0, kRowTop[0], kLampsRight, kLampsBottom, 0);
  if (command == "compare" && (argc == 8 || argc == 9))
    return Compare(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]), std::atoi(argv[7]),
                   argc == 9 ? std::atoi(argv[8]) : 0);
  std::fprintf(stderr, "usage: see the top of xprobe.cpp\n");
  return 2;
}
