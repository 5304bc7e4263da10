// FindParportDevice against made-up /proc trees.
#include "port/parport_proc.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// One entry under sys/dev/parport. base-addr is written as text, or made
// a directory (a read fails), or a link to nowhere, or left out.
struct Entry {
  enum Kind { kText, kDirectory, kDanglingLink, kMissing } kind;
  std::string name;
  std::string baseAddr;
};
Entry Text(std::string name, std::string text) { return {Entry::kText, std::move(name), std::move(text)}; }
Entry Unreadable(std::string name) { return {Entry::kDirectory, std::move(name), ""}; }
Entry Dangling(std::string name) { return {Entry::kDanglingLink, std::move(name), ""}; }
Entry Missing(std::string name) { return {Entry::kMissing, std::move(name), ""}; }

struct LookupCase {
  const char* what;
  std::vector<Entry> entries;
  uint16_t base;
  int device;  // -1: none.
  friend std::ostream& operator<<(std::ostream& out, const LookupCase& c) { return out << c.what; }
};

class ParportLookup : public testing::TestWithParam<LookupCase> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/parport_proc_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    for (const Entry& e : GetParam().entries) Make(e);
  }
  void TearDown() override { fs::remove_all(root); }

  void Make(const Entry& e) {
    const fs::path dir = fs::path(root) / "sys/dev/parport" / e.name;
    fs::create_directories(dir);
    const fs::path file = dir / "base-addr";
    if (e.kind == Entry::kText) std::ofstream(file) << e.baseAddr;
    if (e.kind == Entry::kDirectory) fs::create_directory(file);
    if (e.kind == Entry::kDanglingLink) fs::create_symlink(dir / "nowhere", file);
  }

  std::string root;
};

TEST_P(ParportLookup, FindsTheDeviceAtTheBaseAddress) {
  EXPECT_EQ(FindParportDevice(root, GetParam().base), GetParam().device);
}

// The kernel writes "<base>\t<ECP base>\n" in decimal; 888 is 0x378.
INSTANTIATE_TEST_SUITE_P(
    Matches, ParportLookup,
    testing::Values(
        LookupCase{"one port", {Text("parport0", "888\t1912\n")}, 0x378, 0},
        LookupCase{"second of three",
                   {Text("parport0", "632\t1656\n"), Text("parport1", "888\t-1\n"),
                    Text("parport2", "956\t-1\n")},
                   0x378, 1},
        LookupCase{"3BC", {Text("parport0", "888\t1912\n"), Text("parport2", "956\t-1\n")}, 0x3BC, 2},
        LookupCase{"PCI Express card", {Text("parport0", "53264\t53256\n")}, 0xD010, 0},
        LookupCase{"two digits", {Text("parport10", "888\t1912\n")}, 0x378, 10},
        LookupCase{"no ECP base", {Text("parport0", "888\n")}, 0x378, 0},
        // Whatever order the directory lists them in.
        LookupCase{"the lowest of two at one address",
                   {Text("parport3", "888\t-1\n"), Text("parport1", "888\t-1\n")}, 0x378, 1},
        LookupCase{"the lowest of five at one address",
                   {Text("parport9", "888\n"), Text("parport4", "888\n"), Text("parport6", "888\n"),
                    Text("parport2", "888\n"), Text("parport7", "888\n")},
                   0x378, 2}));

INSTANTIATE_TEST_SUITE_P(
    NoMatch, ParportLookup,
    testing::Values(
        LookupCase{"other addresses", {Text("parport0", "632\t1656\n"), Text("parport1", "956\t-1\n")}, 0x378, -1},
        LookupCase{"ECP base only", {Text("parport0", "632\t888\n")}, 0x378, -1},
        LookupCase{"hexadecimal is not the kernel's form", {Text("parport0", "378\t-1\n")}, 0x378, -1},
        LookupCase{"no ports", {}, 0x378, -1},
        LookupCase{"not a port entry",
                   {Text("default", "888\n"), Text("parport", "888\n"), Text("parportX", "888\n"),
                    Text("xparport0", "888\n")},
                   0x378, -1},
        LookupCase{"empty", {Text("parport0", "")}, 0x378, -1},
        LookupCase{"not a number", {Text("parport0", "none\n")}, 0x378, -1}));

INSTANTIATE_TEST_SUITE_P(
    UnreadableEntries, ParportLookup,
    testing::Values(
        LookupCase{"skipped for a readable one",
                   {Unreadable("parport0"), Dangling("parport1"), Missing("parport2"),
                    Text("parport3", "888\t1912\n")},
                   0x378, 3},
        LookupCase{"all unreadable", {Unreadable("parport0"), Dangling("parport1"), Missing("parport2")}, 0x378, -1}));

TEST(ParportLookupTree, MissingTreeIsNoDevice) {
  EXPECT_EQ(FindParportDevice("/nonexistent/proc", 0x378), -1);
  EXPECT_EQ(FindParportDevice("", 0x378), -1);
}

}  // namespace
