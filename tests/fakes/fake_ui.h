// The one fake of the UI operations (app/ui_ops.h), for every test and
// benchmark. The mode says what becomes of a box:
//   kRecord  kept in memory, for the checks below (the default)
//   kPrint   "BOX <style, 2 hex digits> <caption>: <text, line feeds as \n>"
//            on stdout, and appended to the file PORT_TEST_LOG names (so it
//            lands between the accesses a driver stand-in logs there)
//   kQuiet   nothing, and repaint requests are not even counted: benchmarks
// A program without a main of its own starts in the mode FAKE_UI_MODE names.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct RecordedBox {
  void* owner;
  std::string text;
  std::string caption;
  unsigned style;
  size_t portAccessesBefore;  // What the stamp function said (below), 0 without one.
};

namespace fake_ui {

enum Mode { kRecord, kPrint, kQuiet };
void Use(Mode mode);

// Forgets the boxes and repaint requests; the mode and the hooks stay.
void Reset();
int RepaintRequests();
const std::vector<RecordedBox>& Boxes();

// Each box recorded from now on notes stamp() as portAccessesBefore (the
// port fake is not assumed: port_start has the real back ends).
void StampBoxesWith(size_t (*stamp)());

// Called on each repaint request (any thread); nullptr for none.
void OnRepaint(void (*repaint)());

// One whole line (with its line feed) on stdout, flushed: one stdio call,
// which holds the stream's lock, so two threads' lines never mix.
void PrintLine(const char* line);

}  // namespace fake_ui
