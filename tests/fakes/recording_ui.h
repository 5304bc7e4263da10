// UI operations that record what they were asked instead of showing it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RecordedBox {
  void* owner;
  std::string text;
  std::string caption;
  unsigned style;
  size_t portAccessesBefore;  // How many port accesses came before the box.
};

namespace fake_ui {

void Reset();
int RepaintRequests();
const std::vector<RecordedBox>& Boxes();

}  // namespace fake_ui
