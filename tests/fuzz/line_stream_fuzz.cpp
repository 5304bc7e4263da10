// A client's byte stream cut into reads of 0 to 18 bytes, through the
// framing and TakeLightLine (light control, then the port), with the recording port. Each byte that starts
// a read gives its length; the control register reads as the input's first byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/lamp_path.h"
#include "lights/light_control.h"
#include "protocol/hex_number.h"
#include "pipe/line_framing.h"
#include "tests/fakes/fake_port.h"
#include "tests/fakes/fake_ui.h"

namespace {

constexpr uint16_t kData = 0x378, kControl = 0x37A;

void Check(bool ok) {
  if (!ok) std::abort();
}

// The line a read should give: from its first '>' to the next line feed,
// when that is at most 8 characters.
bool ModelFrame(const uint8_t* bytes, size_t count, std::vector<uint8_t>* line) {
  const uint8_t* start = static_cast<const uint8_t*>(std::memchr(bytes, '>', count));
  if (start == nullptr) return false;
  const size_t rest = count - size_t(start - bytes);
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(start, '\n', rest));
  if (end == nullptr || end - start > 8) return false;
  line->assign(start, end);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t controlRead = data[0];
  fake_port::Reset();
  fake_port::SetReadValue(kControl, controlRead);
  fake_ui::Reset();
  ClearDisplayState();
  PortBase = kData;

  for (size_t at = 1; at < size;) {
    const size_t length = data[at++] % 19u;  // Read before the rest is measured.
    const size_t count = std::min<size_t>(length, size - at);
    const uint8_t* bytes = data + at;
    at += count;

    const DisplayStateRecord before = SnapshotDisplayState();
    fake_port::Reset();
    fake_port::SetReadValue(kControl, controlRead);

    char line[kMaxLineLength + 1];
    std::vector<uint8_t> expected;
    const bool framed = FrameOneRead(bytes, count, line);
    Check(framed == ModelFrame(bytes, count, &expected));
    if (!framed) continue;
    Check(line[expected.size()] == '\0' && std::memcmp(line, expected.data(), expected.size()) == 0);

    TakeLightLine(line);
    const DisplayStateRecord after = SnapshotDisplayState();
    Check(std::memchr(after.StatusText, '\0', sizeof after.StatusText) != nullptr);
    Check(std::strlen(after.StatusText) <= 8 && std::strcmp(after.StatusText, line) == 0);

    // Lamps and port change only for a well-formed light command.
    uint32_t value = 0;
    const char mode = line[1];
    const bool command = line[0] == '>' && line[2] == 'L' && (mode == '3' || mode == '5') &&
                         ReadHexNumber(line + 3, &value);
    if (command) {
      Check(after.Lamps == LampBits(value));
      Check(fake_port::Accesses() ==
            LampWrites(kData, controlRead, uint8_t(value), mode == '5' ? int(uint8_t(value >> 8)) : -1));
    } else {
      Check(after.Lamps == before.Lamps);
      Check(fake_port::Accesses().empty());
    }
  }
  PortBase = 0;
  return 0;
}
