#include "plugin/plugin_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace plugin {

namespace {

enum class Number { kNone, kInRange, kClamped };

// A decimal number with blanks around it allowed; *value clamped to the
// limits when one was read.
Number ReadNumber(const std::string& text, int min, int max, int* value) {
  const char* start = text.c_str();
  while (*start == ' ' || *start == '\t') ++start;
  char* end = nullptr;
  errno = 0;
  const long read = std::strtol(start, &end, 10);
  if (end == start) return Number::kNone;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return Number::kNone;
  *value = int(std::clamp<long>(read, min, max));
  return errno == 0 && read >= min && read <= max ? Number::kInRange : Number::kClamped;
}

}  // namespace

PluginSettings SettingsFromTexts(const std::string& style, const std::string& holdMs,
                                 const std::string& delayMs) {
  PluginSettings settings;
  music::Style parsed;
  if (style != kOwnStyleName && music::ParseStyle(style.c_str(), &parsed)) {
    settings.ownStyle = false;
    settings.style = parsed;
  }
  ReadNumber(holdMs, kHoldMinMs, kHoldMaxMs, &settings.holdMs);
  ReadNumber(delayMs, kDelayMinMs, kDelayMaxMs, &settings.delayMs);
  return settings;
}

bool ParseMs(const std::string& text, int min, int max, int* value) {
  int read = 0;
  if (ReadNumber(text, min, max, &read) != Number::kInRange) return false;
  *value = read;
  return true;
}

std::string IniPathBeside(const std::string& dllPath) {
  const size_t slash = dllPath.find_last_of("\\/");
  const size_t dot = dllPath.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return dllPath + ".ini";
  return dllPath.substr(0, dot) + ".ini";
}

}  // namespace plugin
