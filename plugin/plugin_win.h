// What the DLL's files share among themselves (Windows only).
#pragma once
#include <windows.h>

#include <string>

#include "plugin/plugin_settings.h"

namespace plugin {

// This DLL's instance, from DllMain.
extern HINSTANCE PluginInstance;

// The INI file beside the DLL.
std::string SettingsPath();
PluginSettings LoadSettings(const std::string& iniPath);
bool SaveSettings(const std::string& iniPath, const PluginSettings& settings);

// The settings dialog, modal, owned by parent; the module's own style is
// what "own" means in its list. Saves on OK.
void RunConfigDialog(HWND parent, music::Style moduleStyle);

}  // namespace plugin
