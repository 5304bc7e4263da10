#include "tests/fakes/fake_ui.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "app/ui_ops.h"
#include "res/string_table.h"

#ifndef FAKE_UI_MODE
#define FAKE_UI_MODE kRecord
#endif

namespace {

fake_ui::Mode mode = fake_ui::FAKE_UI_MODE;
std::atomic<int> repaints{0};
std::vector<RecordedBox> boxes;
size_t (*boxStamp)() = nullptr;
void (*onRepaint)() = nullptr;

std::string BoxLine(const char* text, const char* caption, unsigned style) {
  char head[16];
  std::snprintf(head, sizeof head, "BOX %02X ", style);
  std::string line = std::string(head) + caption + ": ";
  for (const char* c = text; *c; ++c) line += (*c == '\n') ? std::string("\\n") : std::string(1, *c);
  return line + "\n";
}

}  // namespace

void RequestRepaint() {
  if (mode == fake_ui::kQuiet) return;
  ++repaints;
  if (onRepaint) onRepaint();
}

void ShowMessageBox(void* owner, const char* text, const char* caption, unsigned style) {
  if (mode == fake_ui::kRecord) boxes.push_back({owner, text, caption, style, boxStamp ? boxStamp() : 0});
  if (mode != fake_ui::kPrint) return;
  const std::string line = BoxLine(text, caption, style);
  fake_ui::PrintLine(line.c_str());
  if (const char* path = std::getenv("PORT_TEST_LOG")) {
    if (std::FILE* log = std::fopen(path, "a")) {
      std::fputs(line.c_str(), log);
      std::fclose(log);
    }
  }
}

int LoadText(unsigned id, char* buffer, int size) { return CopyStringTableText(id, buffer, size); }

namespace fake_ui {

void Use(Mode m) { mode = m; }

void Reset() {
  repaints = 0;
  boxes.clear();
}

int RepaintRequests() { return repaints; }

const std::vector<RecordedBox>& Boxes() { return boxes; }

void StampBoxesWith(size_t (*stamp)()) { boxStamp = stamp; }

void OnRepaint(void (*repaint)()) { onRepaint = repaint; }

void PrintLine(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

}  // namespace fake_ui
