// The resources inside the built pipeserver.exe: the icon, the string table
// and the version record, read as Windows reads them.
#include <gtest/gtest.h>

#include "tests/support/win_driver.h"

namespace {

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA(exe_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << exe_;
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  std::string exe_ = ProgramPath("PIPESERVER_EXE");
  HMODULE module_ = nullptr;
};

TEST_F(Resources, StringTable) {
  const struct {
    UINT id;
    const char* text;
  } strings[] = {
      {100, "CreateNamedPipe will only work on Windows NT."},
      {101, "Pipe Server Vantrelle (p:%X)"},
      {102, "Error return code from CreateNamedPipe = %li."},
      {103, "Debug Window"},
  };
  for (const auto& s : strings) {
    char text[256] = {};
    EXPECT_GT(LoadStringA(module_, s.id, text, sizeof text), 0) << s.id;
    EXPECT_STREQ(text, s.text) << s.id;
  }
}

// One 32 x 32 image in 16 colours, 4 bits a pixel, under the name NPSERVER.
TEST_F(Resources, IconNpserver) {
#pragma pack(push, 2)
  struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
  };
  struct Group {
    WORD reserved, type, count;
    GroupEntry entries[1];
  };
#pragma pack(pop)
  HRSRC found = FindResourceA(module_, "NPSERVER", MAKEINTRESOURCEA(14));  // RT_GROUP_ICON.
  ASSERT_NE(found, nullptr);
  const auto* group = static_cast<const Group*>(LockResource(LoadResource(module_, found)));
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->count, 1);
  EXPECT_EQ(group->entries[0].width, 32);
  EXPECT_EQ(group->entries[0].height, 32);
  EXPECT_EQ(group->entries[0].colours, 16);
  EXPECT_EQ(group->entries[0].bitCount, 4);
}

TEST_F(Resources, VersionRecord) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe_.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe_.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);  // 1.0
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);  // .2.0
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00020000u);
  for (const char* name : {"FileVersion", "ProductVersion"}) {
    char* text = nullptr;
    const std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
    ASSERT_TRUE(VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) << name;
    EXPECT_STREQ(text, "Version 1.02") << name;
  }
}

}  // namespace
