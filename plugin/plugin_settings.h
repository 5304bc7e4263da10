// The plug-in's settings: the lamp style, the hold time and the delay,
// kept in an INI file beside the DLL. The values and their limits here;
// the file and the dialog in config_win.cpp.
#pragma once
#include <string>

#include "music/lamp_styles.h"

namespace plugin {

constexpr int kHoldMinMs = 0, kHoldMaxMs = 1000, kHoldDefaultMs = 50;
constexpr int kDelayMinMs = 0, kDelayMaxMs = 2000, kDelayDefaultMs = 0;

struct PluginSettings {
  bool ownStyle = true;  // Each module runs the style it is named after.
  music::Style style = music::Style::kSpectrum;  // Every module's, when !ownStyle.
  int holdMs = kHoldDefaultMs;
  int delayMs = kDelayDefaultMs;
};

// The INI's Style value: "own" or a style's name.
constexpr char kOwnStyleName[] = "own";

// The settings from the INI's texts; a missing or bad value gives its
// default, a number out of range its nearest limit.
PluginSettings SettingsFromTexts(const std::string& style, const std::string& holdMs,
                                 const std::string& delayMs);

// A whole decimal number from min to max (blanks around it allowed), as a
// person types it into the dialog; false for anything else.
bool ParseMs(const std::string& text, int min, int max, int* value);

// "C:\...\vis_vantrelle.dll" -> "C:\...\vis_vantrelle.ini".
std::string IniPathBeside(const std::string& dllPath);

}  // namespace plugin
