// The one stand-in of the UI operations (app/ui_ops.h), for every test and
// benchmark: nothing is shown. The mode says what becomes of a box:
//   kRecord  kept in memory, for the checks below (the default)
//   kPrint   one line on standard output, and appended to the file that
//            PORT_TEST_LOG names when set (so that it lands between the
//            accesses that a driver stand-in logs there):
//              BOX <style, 2 hex digits> <caption>: <text, line feeds as \n>
//   kQuiet   nothing: benchmarks
// Repaint requests are counted in every mode but kQuiet. A program without
// a main of its own starts in the mode that FAKE_UI_MODE names.
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

// Each box recorded from now on notes stamp() as portAccessesBefore: how
// many port accesses came before it, say (the port has a stand-in of its
// own, which this one does not assume).
void StampBoxesWith(size_t (*stamp)());

// Called on each repaint request (any thread), after it is counted; nullptr
// for none.
void OnRepaint(void (*repaint)());

// Writes one whole line (with its line feed) on standard output, flushed:
// one call, so that lines from two threads never mix (each stdio call holds
// the stream's lock).
void PrintLine(const char* line);

}  // namespace fake_ui
