// The settings: an INI file beside the DLL (no registry), and the dialog
// that edits it.
#include <windows.h>

#include <cstdio>

#include "plugin/plugin_resource.h"
#include "plugin/plugin_win.h"

namespace plugin {

namespace {

constexpr char kSection[] = "Settings";

std::string ReadText(const std::string& ini, const char* key) {
  char text[64] = {};
  GetPrivateProfileStringA(kSection, key, "", text, sizeof text, ini.c_str());
  return text;
}

struct DialogData {
  music::Style moduleStyle;
  PluginSettings settings;
  std::string iniPath;
};

// The list: "own" first, then every style by name, in Style's order.
void FillStyles(HWND dialog, const DialogData& data) {
  HWND list = GetDlgItem(dialog, IDC_STYLE);
  char own[64];
  std::snprintf(own, sizeof own, "each module its own (here %s)", music::StyleName(data.moduleStyle));
  SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(own));
  for (int i = 0; i < music::kStyleCount; ++i)
    SendMessageA(list, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(music::StyleName(static_cast<music::Style>(i))));
  const int selected = data.settings.ownStyle ? 0 : 1 + static_cast<int>(data.settings.style);
  SendMessageA(list, CB_SETCURSEL, selected, 0);
}

bool ReadField(HWND dialog, int id, int min, int max, const char* what, int* value) {
  char text[32] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  if (ParseMs(text, min, max, value)) return true;
  char message[128];
  std::snprintf(message, sizeof message, "%s must be a whole number of milliseconds from %d to %d.",
                what, min, max);
  MessageBoxA(dialog, message, "Pipe Server Vantrelle plug-in", MB_OK | MB_ICONEXCLAMATION);
  SetFocus(GetDlgItem(dialog, id));
  return false;
}

INT_PTR CALLBACK ConfigProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogData* data = reinterpret_cast<DialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      data = reinterpret_cast<DialogData*>(lParam);
      FillStyles(dialog, *data);
      SetDlgItemInt(dialog, IDC_HOLD, data->settings.holdMs, FALSE);
      SetDlgItemInt(dialog, IDC_DELAY, data->settings.delayMs, FALSE);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        PluginSettings edited = data->settings;
        if (!ReadField(dialog, IDC_HOLD, kHoldMinMs, kHoldMaxMs, "The hold time", &edited.holdMs) ||
            !ReadField(dialog, IDC_DELAY, kDelayMinMs, kDelayMaxMs, "The delay", &edited.delayMs))
          return TRUE;
        const LRESULT selected = SendDlgItemMessageA(dialog, IDC_STYLE, CB_GETCURSEL, 0, 0);
        edited.ownStyle = selected <= 0;
        if (!edited.ownStyle) edited.style = static_cast<music::Style>(selected - 1);
        if (!SaveSettings(data->iniPath, edited)) {
          std::string text = "Cannot write the settings to " + data->iniPath + ".";
          MessageBoxA(dialog, text.c_str(), "Pipe Server Vantrelle plug-in", MB_OK | MB_ICONHAND);
          return TRUE;
        }
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::string SettingsPath() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(PluginInstance, path, sizeof path);
  if (length == 0 || length >= sizeof path) return "vis_vantrelle.ini";
  return IniPathBeside(path);
}

PluginSettings LoadSettings(const std::string& iniPath) {
  return SettingsFromTexts(ReadText(iniPath, "Style"), ReadText(iniPath, "HoldMs"),
                           ReadText(iniPath, "DelayMs"));
}

bool SaveSettings(const std::string& iniPath, const PluginSettings& settings) {
  char hold[16], delay[16];
  std::snprintf(hold, sizeof hold, "%d", settings.holdMs);
  std::snprintf(delay, sizeof delay, "%d", settings.delayMs);
  const char* style = settings.ownStyle ? kOwnStyleName : music::StyleName(settings.style);
  const char* path = iniPath.c_str();
  return WritePrivateProfileStringA(kSection, "Style", style, path) &&
         WritePrivateProfileStringA(kSection, "HoldMs", hold, path) &&
         WritePrivateProfileStringA(kSection, "DelayMs", delay, path);
}

void RunConfigDialog(HWND parent, music::Style moduleStyle) {
  DialogData data{moduleStyle, {}, SettingsPath()};
  data.settings = LoadSettings(data.iniPath);
  DialogBoxParamA(PluginInstance, MAKEINTRESOURCEA(IDD_PLUGIN_CONFIG), parent, ConfigProc,
                  reinterpret_cast<LPARAM>(&data));
}

}  // namespace plugin
