#include "tests/fakes/recording_ui.h"

#include <atomic>

#include "app/ui_ops.h"
#include "res/string_table.h"
#include "tests/fakes/recording_port.h"

namespace {
std::atomic<int> repaints{0};
std::vector<RecordedBox> boxes;
}  // namespace

void RequestRepaint() { ++repaints; }

void ShowMessageBox(void* owner, const char* text, const char* caption, unsigned style) {
  boxes.push_back({owner, text, caption, style, fake_port::Accesses().size()});
}

int LoadText(unsigned id, char* buffer, int size) { return CopyStringTableText(id, buffer, size); }

namespace fake_ui {

void Reset() {
  repaints = 0;
  boxes.clear();
}

int RepaintRequests() { return repaints; }

const std::vector<RecordedBox>& Boxes() { return boxes; }

}  // namespace fake_ui
