#include "tools/lightsend_patterns.h"

#include <cstdint>

#include "protocol/light_line.h"

namespace {

const char* const kPatterns[] = {"chaser", "bounce", "counter", "random", "blink"};

// A well-mixed number from the step alone (splitmix64's finaliser), so a
// random run needs no state and repeats exactly.
uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint32_t PatternValue(const std::string& name, unsigned lamps, unsigned long step) {
  const uint32_t all = (1u << lamps) - 1;
  if (name == "chaser") return 1u << (step % lamps);
  if (name == "bounce") {
    // There and back: 0, 1, ..., lamps-1, lamps-2, ..., 1, then again.
    const unsigned long period = 2 * (lamps - 1);
    const unsigned long at = step % period;
    return 1u << (at < lamps ? at : period - at);
  }
  if (name == "counter") return uint32_t(step) & all;
  if (name == "random") return uint32_t(Mix(step)) & all;
  if (name == "blink") return step % 2 == 0 ? all : 0;
  return 0;
}

}  // namespace

bool IsKnownPattern(const std::string& name) {
  for (const char* known : kPatterns)
    if (name == known) return true;
  return false;
}

std::string PatternLine(const std::string& name, int mode, unsigned long step) {
  const unsigned lamps = (mode == 3) ? 8 : 16;
  char line[kMaxLineLength + 1];
  FormatLightLine(mode, LampBits(PatternValue(name, lamps, step)), line);
  return line;
}
