// UI operations for port_start: each box is printed as one line instead of
// shown, "BOX <style in hex> <caption>: <text>" with line feeds as "\n", on
// stdout and appended to the file $PORT_TEST_LOG names, so that it lands
// between the register accesses the driver stand-in logs there.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/ui_ops.h"
#include "res/string_table.h"

namespace {

std::string BoxLine(const char* text, const char* caption, unsigned style) {
  char head[16];
  std::snprintf(head, sizeof head, "BOX %02X ", style);
  std::string line = std::string(head) + caption + ": ";
  for (const char* c = text; *c; ++c) line += (*c == '\n') ? std::string("\\n") : std::string(1, *c);
  return line + "\n";
}

}  // namespace

void RequestRepaint() {}

void ShowMessageBox(void*, const char* text, const char* caption, unsigned style) {
  const std::string line = BoxLine(text, caption, style);
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
  if (const char* path = std::getenv("PORT_TEST_LOG")) {
    if (FILE* log = std::fopen(path, "a")) {
      std::fputs(line.c_str(), log);
      std::fclose(log);
    }
  }
}

int LoadText(unsigned id, char* buffer, int size) { return CopyStringTableText(id, buffer, size); }
