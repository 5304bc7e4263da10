// The Windows back end where no driver DLL lies beside the .exe: the probe
// meets the processor's refusal (Wine refuses like Windows NT) and survives it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "port/port_io.h"
#include "port/port_io_win.h"

namespace {

constexpr uint32_t kPrivilegedInstruction = 0xC0000096;

std::string ExeFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\') + 1);
}

#if defined(_WIN64)
void SkipOneByte(CONTEXT* context) { context->Rip += 1; }
#else
void SkipOneByte(CONTEXT* context) { context->Eip += 1; }
#endif

int ownFaults = 0;

LONG CALLBACK CountAndSkipPortInstruction(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != kPrivilegedInstruction) return EXCEPTION_CONTINUE_SEARCH;
  ++ownFaults;
  SkipOneByte(info->ContextRecord);  // "in al,dx" is one byte.
  return EXCEPTION_CONTINUE_EXECUTION;
}

struct PortCase {
  uint16_t base;
  const char* named;  // How the message writes the address.
  friend std::ostream& operator<<(std::ostream& out, const PortCase& c) { return out << c.named; }
};

class NoDriverDll : public testing::TestWithParam<PortCase> {};

TEST_P(NoDriverDll, ProbeIsRefusedAsAPrivilegedInstruction) {
  ASSERT_EQ(GetFileAttributesA((ExeFolder() + PORT_DRIVER_DLL).c_str()), INVALID_FILE_ATTRIBUTES)
      << "this test needs a folder without the driver DLL";
  EXPECT_FALSE(PortAccessOpen(GetParam().base));
  EXPECT_EQ(LastProbeException(), kPrivilegedInstruction);
}

LONG WINAPI FilterBeforeTheProbe(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

// Before Windows XP there are no vectored handlers: the last-chance filter
// catches the probe's fault, and the filter that was there comes back.
TEST_P(NoDriverDll, ProbeSurvivesWithTheLastChanceFilterOnly) {
  LPTOP_LEVEL_EXCEPTION_FILTER original = SetUnhandledExceptionFilter(FilterBeforeTheProbe);
  ProbeWithLastChanceFilterOnly(true);
  EXPECT_FALSE(PortAccessOpen(GetParam().base));
  ProbeWithLastChanceFilterOnly(false);
  EXPECT_EQ(LastProbeException(), kPrivilegedInstruction);
  EXPECT_EQ(SetUnhandledExceptionFilter(original), &FilterBeforeTheProbe);
}

TEST_P(NoDriverDll, LaterFaultsAreNotSwallowed) {
  // Outside the probe the back end catches nothing: a refused port
  // instruction afterwards reaches the process's own handlers.
  ASSERT_FALSE(PortAccessOpen(GetParam().base));
  ownFaults = 0;
  void* own = AddVectoredExceptionHandler(0, CountAndSkipPortInstruction);  // Last in line.
  const uint16_t control = uint16_t(GetParam().base + 2);
  asm volatile("inb %w0, %%al" : : "d"(control) : "eax");
  RemoveVectoredExceptionHandler(own);
  EXPECT_EQ(ownFaults, 1);
}

TEST_P(NoDriverDll, MessageNamesAddressDllAndFolder) {
  ASSERT_FALSE(PortAccessOpen(GetParam().base));
  char text[512];
  FormatNoPortAccessMessage(GetParam().base, text, sizeof text);
  const std::string message = text;
  EXPECT_NE(message.find(std::string("parallel port at ") + GetParam().named + "."), std::string::npos)
      << message;
  EXPECT_NE(message.find(PORT_DRIVER_DLL), std::string::npos) << message;
  EXPECT_NE(message.find("(in " + ExeFolder() + ")"), std::string::npos) << message;
  EXPECT_NE(message.find("port_io_win_tests.exe"), std::string::npos) << message;
  EXPECT_NE(message.find("(EMU)"), std::string::npos) << message;
  EXPECT_LT(message.size(), 500u);
}

INSTANTIATE_TEST_SUITE_P(UsualAddresses, NoDriverDll,
                         testing::Values(PortCase{0x378, "378"}, PortCase{0x278, "278"},
                                         PortCase{0x3BC, "3BC"}, PortCase{0xD010, "D010"}));

TEST(NoPortAccessMessage, IsCutToTheBufferAndTerminated) {
  ASSERT_FALSE(PortAccessOpen(0x378));
  char text[24];
  std::memset(text, 'x', sizeof text);
  FormatNoPortAccessMessage(0x378, text, sizeof text);
  EXPECT_STREQ(text, "No access to the parall");
}

}  // namespace
