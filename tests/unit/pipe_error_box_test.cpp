#include "app/listener_sink.h"

#include <gtest/gtest.h>

#include "app/ui_ops.h"
#include "tests/fakes/fake_ui.h"

namespace {

struct ErrorCase {
  long code;
  const char* text;
};

class PipeErrorBox : public testing::TestWithParam<ErrorCase> {
 protected:
  void SetUp() override { fake_ui::Reset(); }
};

TEST_P(PipeErrorBox, ShowsTheCodeInTheDebugWindowBox) {
  int owner = 0;  // Any address stands in for the main window's handle.
  ShowPipeError(&owner, GetParam().code);

  ASSERT_EQ(fake_ui::Boxes().size(), 1u);
  const RecordedBox& box = fake_ui::Boxes()[0];
  EXPECT_EQ(box.owner, &owner);
  EXPECT_EQ(box.text, GetParam().text);
  EXPECT_EQ(box.caption, "Debug Window");
  EXPECT_EQ(box.style, kBoxOk | kBoxIconInformation);
}

INSTANTIATE_TEST_SUITE_P(Codes, PipeErrorBox, testing::Values(
    ErrorCase{231, "Error return code from CreateNamedPipe = 231."},  // ERROR_PIPE_BUSY
    ErrorCase{98, "Error return code from CreateNamedPipe = 98."},    // EADDRINUSE
    ErrorCase{0, "Error return code from CreateNamedPipe = 0."},
    ErrorCase{-1, "Error return code from CreateNamedPipe = -1."}));

}  // namespace
