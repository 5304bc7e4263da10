// The settings dialog, as the player opens it: it shows the INI beside the
// DLL, refuses a bad number with a box, and saves what was chosen.
#include <gtest/gtest.h>

#include <string>

#include "host_lamps.h"
#include "plugin/plugin_resource.h"
#include "vis_host.h"

namespace {

std::string IniValue(const std::string& ini, const char* key) {
  char text[64] = {};
  GetPrivateProfileStringA("Settings", key, "", text, sizeof text, ini.c_str());
  return text;
}

struct ConfigCall {
  winampVisModule* module;
  static DWORD WINAPI Run(void* self) {
    winampVisModule* m = static_cast<ConfigCall*>(self)->module;
    m->Config(m);
    return 0;
  }
};

TEST(Config, DialogShowsAndSavesTheIniBesideTheDll) {
  // A copy of the DLL in a folder of its own, so that the INI is the test's.
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "vis_config_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string dll = folder + "\\vis_vantrelle.dll", ini = folder + "\\vis_vantrelle.ini";
  ASSERT_TRUE(CopyFileA(PluginPath().c_str(), dll.c_str(), FALSE));
  DeleteFileA(ini.c_str());
  WritePrivateProfileStringA("Settings", "HoldMs", "80", ini.c_str());
  WritePrivateProfileStringA("Settings", "DelayMs", "40", ini.c_str());
  {
    VisDll plugin(dll);
    ASSERT_TRUE(plugin.loaded());
    ConfigCall call = {plugin.modules()[2]};
    HANDLE thread = CreateThread(nullptr, 0, ConfigCall::Run, &call, 0, nullptr);
    // Whatever fails below, the DLL stays while its dialog may still run.
    struct Guard {
      VisDll& plugin;
      HANDLE thread;
      ~Guard() {
        if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) plugin.KeepLoaded();
        CloseHandle(thread);
      }
    } guard{plugin, thread};
    // The first dialog of a fresh Wine prefix takes seconds.
    HWND dialog = WaitForDialog(GetCurrentProcessId(), nullptr, 15000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetDlgItemInt(dialog, IDC_HOLD, nullptr, FALSE), 80u);
    EXPECT_EQ(GetDlgItemInt(dialog, IDC_DELAY, nullptr, FALSE), 40u);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_STYLE, CB_GETCURSEL, 0, 0), 0) << "each module its own";
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_STYLE, CB_GETCOUNT, 0, 0), 6);

    SetDlgItemTextA(dialog, IDC_HOLD, "5000");  // Beyond the limit: refused.
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    HWND box = WaitForDialog(GetCurrentProcessId(), dialog, 15000);
    ASSERT_NE(box, nullptr) << "no box for the bad hold time";
    EXPECT_TRUE(PressOk(box));
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays for a correction";

    SetDlgItemTextA(dialog, IDC_HOLD, "120");
    SetDlgItemTextA(dialog, IDC_DELAY, "250");
    SendDlgItemMessageA(dialog, IDC_STYLE, CB_SETCURSEL, 2, 0);  // After "own": spectrum, meter.
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0) << "Config did not return";
  }
  EXPECT_EQ(IniValue(ini, "Style"), "meter");
  EXPECT_EQ(IniValue(ini, "HoldMs"), "120");
  EXPECT_EQ(IniValue(ini, "DelayMs"), "250");
  DeleteFileA(ini.c_str());
  DeleteFileA(dll.c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
