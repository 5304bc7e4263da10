#include "res/string_table.h"

#include "res/strings.h"

const char* FindStringTableText(unsigned id) {
  switch (id) {
    case IDS_NOT_NT: return TEXT_NOT_NT;
    case IDS_TITLE_FORMAT: return TEXT_TITLE_FORMAT;
    case IDS_PIPE_ERROR: return TEXT_PIPE_ERROR;
    case IDS_DEBUG_CAPTION: return TEXT_DEBUG_CAPTION;
  }
  return nullptr;
}

int CopyStringTableText(unsigned id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  const char* text = FindStringTableText(id);
  int n = 0;
  if (text != nullptr)
    for (; n < size - 1 && text[n] != '\0'; ++n) buffer[n] = text[n];
  buffer[n] = '\0';
  return n;
}
