// The Linux back end's message when it has no access. (PortAccessOpen itself
// is checked by no_access_linux.sh as an unprivileged user: run by root it
// could reach real hardware.)
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "port/port_io.h"

namespace {

struct MessageCase {
  uint16_t base;
  const char* named;
  friend std::ostream& operator<<(std::ostream& out, const MessageCase& c) { return out << c.named; }
};

class NoAccessMessage : public testing::TestWithParam<MessageCase> {};

TEST_P(NoAccessMessage, NamesTheAddressInHexAndWhatTheUserCanDo) {
  char text[512];
  FormatNoPortAccessMessage(GetParam().base, text, sizeof text);
  const std::string message = text;
  EXPECT_NE(message.find(std::string("parallel port at ") + GetParam().named + "."), std::string::npos)
      << message;
  for (const char* hint : {"ppdev", "lp group", "root", "CAP_SYS_RAWIO", "(EMU)"})
    EXPECT_NE(message.find(hint), std::string::npos) << hint << " in: " << message;
  EXPECT_LT(message.size(), 500u);
}

INSTANTIATE_TEST_SUITE_P(UsualAddresses, NoAccessMessage,
                         testing::Values(MessageCase{0x378, "378"}, MessageCase{0x278, "278"},
                                         MessageCase{0x3BC, "3BC"}, MessageCase{0xD010, "D010"}));

TEST(NoAccessMessageBuffer, IsCutToTheBufferAndTerminated) {
  char text[24];
  std::memset(text, 'x', sizeof text);
  FormatNoPortAccessMessage(0x378, text, sizeof text);
  EXPECT_STREQ(text, "No access to the parall");
}

}  // namespace
