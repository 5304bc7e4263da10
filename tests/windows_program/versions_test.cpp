// The program on each Windows version that Wine can report, for one copy
// of the .exe each (AppDefaults): the NT family runs it, Windows 95, 98 and
// Me get the refusal.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "tests/support/win_driver.h"

namespace {

struct VersionCase {
  const char* version;  // Wine's name for it.
  bool ntFamily;
  friend std::ostream& operator<<(std::ostream& out, const VersionCase& c) { return out << c.version; }
};

const VersionCase kVersions[] = {
    {"win95", false}, {"win98", false}, {"winme", false},
    {"nt40", true},   {"win2k", true},  {"winxp", true},
};

// Wine reports version for the program named exeName while this lives.
class ReportedVersion {
 public:
  ReportedVersion(const std::string& exeName, const char* version)
      : key_("Software\\Wine\\AppDefaults\\" + exeName) {
    HKEY key = nullptr;
    ok_ = RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr) == ERROR_SUCCESS &&
          RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                         DWORD(std::strlen(version) + 1)) == ERROR_SUCCESS;
    if (key != nullptr) RegCloseKey(key);
  }
  ~ReportedVersion() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string key_;
  bool ok_ = false;
};

// The copy of pipeserver.exe for this version, made by CMake.
std::string CopyFor(const VersionCase& c) {
  return ProgramPath("PIPESERVER_VERSIONS_DIR") + "\\pipeserver_" + c.version + ".exe";
}

class Versions : public testing::TestWithParam<VersionCase> {
 protected:
  void SetUp() override {
    ASSERT_FALSE(ProgramPath("PIPESERVER_VERSIONS_DIR").empty());
    ASSERT_EQ(FindWindowA("PipeWClass", nullptr), nullptr) << "a copy from before is still running";
    exe_ = CopyFor(GetParam());
    ASSERT_NE(GetFileAttributesA(exe_.c_str()), INVALID_FILE_ATTRIBUTES) << exe_;
  }
  std::string exe_;
};

TEST_P(Versions, TheNtFamilyRunsTheProgramOthersAreRefused) {
  const VersionCase& c = GetParam();
  ReportedVersion reported("pipeserver_" + std::string(c.version) + ".exe", c.version);
  ASSERT_TRUE(reported.ok());

  if (!c.ntFamily) {
    Server server("-p 378", exe_);
    ASSERT_TRUE(server.started());
    HWND box = WaitForMessageBox(server.pid(), 10000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadMessageBox(box), (BoxContents{"Pipe Server Vantrelle",
                                                "CreateNamedPipe will only work on Windows NT.",
                                                BoxIcon::kHand, nullptr}));
    EXPECT_EQ(server.WaitForWindow(0), nullptr);
    EXPECT_TRUE(PressOk(box));
    EXPECT_EQ(server.WaitForExit(5000), 0);
    return;
  }

  // The emulation mode: title and lamps. (A port without access takes the
  // same path on every version: Title.PortTailsWithoutPortAccess.)
  Server server("", exe_);
  HWND window = server.WaitForWindow(10000);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WaitForMessageBox(server.pid(), 0), nullptr);
  EXPECT_EQ(WindowTitle(window), "Pipe Server Vantrelle (p:0)");
  EXPECT_EQ(RunLightsend({">5L8001"}), 0);
  EXPECT_TRUE(WaitUntil([&] { return ShowsLamps(window, 0x8001); }, 3000))
      << LampsDiffer(CaptureClient(window), 0x8001);
  EXPECT_EQ(server.Close(window), 0);
}

INSTANTIATE_TEST_SUITE_P(Wine, Versions, testing::ValuesIn(kVersions),
                         [](const testing::TestParamInfo<VersionCase>& info) {
                           return std::string(info.param.version);
                         });

}  // namespace
