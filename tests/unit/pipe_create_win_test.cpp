// The listener's pipe creation against a CreateNamedPipeA that answers as
// Windows Vista and later, as older systems (which refuse the setting for
// remote clients) and as a system where the pipe is taken.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipe/pipe_create_win.h"

namespace {

HANDLE const kPipe = reinterpret_cast<HANDLE>(uintptr_t(0x1234));

struct Answer {
  bool succeeds;
  DWORD error;  // Set as the last error when it fails.
};

struct Call {
  std::string name;
  DWORD openMode, pipeMode, maxInstances, outBuffer, inBuffer, timeOut;
  bool security;
};

std::vector<Answer> answers;  // One per call, in order; the fake fails beyond them.
std::vector<Call> calls;

HANDLE WINAPI FakeCreateNamedPipe(LPCSTR name, DWORD openMode, DWORD pipeMode, DWORD maxInstances,
                                  DWORD outBuffer, DWORD inBuffer, DWORD timeOut,
                                  LPSECURITY_ATTRIBUTES security) {
  calls.push_back({name, openMode, pipeMode, maxInstances, outBuffer, inBuffer, timeOut,
                   security != nullptr});
  const Answer answer =
      calls.size() <= answers.size() ? answers[calls.size() - 1] : Answer{false, ERROR_GEN_FAILURE};
  if (answer.succeeds) return kPipe;
  SetLastError(answer.error);
  return INVALID_HANDLE_VALUE;
}

struct CreationCase {
  const char* system;
  std::vector<Answer> answers;
  bool created;
  DWORD lastError;                // When not created.
  std::vector<DWORD> pipeModes;   // Of each call, in order.
};

TEST(ListenerPipeCreation, FallsBackOnlyWhereTheSettingIsUnknown) {
  const DWORD reject = kRejectRemoteClients;
  const CreationCase cases[] = {
      {"Vista and later", {{true, 0}}, true, 0, {reject}},
      {"before Vista", {{false, ERROR_INVALID_PARAMETER}, {true, 0}}, true, 0, {reject, 0}},
      {"pipe taken (a second copy)", {{false, ERROR_PIPE_BUSY}}, false, ERROR_PIPE_BUSY, {reject}},
      {"access denied", {{false, ERROR_ACCESS_DENIED}}, false, ERROR_ACCESS_DENIED, {reject}},
      {"before Vista, pipe taken",
       {{false, ERROR_INVALID_PARAMETER}, {false, ERROR_PIPE_BUSY}}, false, ERROR_PIPE_BUSY, {reject, 0}},
      {"refused both ways",
       {{false, ERROR_INVALID_PARAMETER}, {false, ERROR_INVALID_PARAMETER}}, false,
       ERROR_INVALID_PARAMETER, {reject, 0}},
  };
  for (const CreationCase& c : cases) {
    SCOPED_TRACE(c.system);
    answers = c.answers;
    calls.clear();
    SetLastError(0);
    HANDLE pipe = CreateListenerPipe("\\\\.\\pipe\\tormelin", 18, FakeCreateNamedPipe);
    EXPECT_EQ(pipe, c.created ? kPipe : INVALID_HANDLE_VALUE);
    if (!c.created) {
      EXPECT_EQ(GetLastError(), c.lastError);
    }
    ASSERT_EQ(calls.size(), c.pipeModes.size());
    for (size_t i = 0; i < calls.size(); ++i) {
      SCOPED_TRACE("call " + std::to_string(i + 1));
      EXPECT_EQ(calls[i].pipeMode, c.pipeModes[i]);  // Byte stream, byte reads, blocking.
      // Every other setting the same each time.
      EXPECT_EQ(calls[i].name, "\\\\.\\pipe\\tormelin");
      EXPECT_EQ(calls[i].openMode, DWORD(PIPE_ACCESS_INBOUND));
      EXPECT_EQ(calls[i].maxInstances, 1u);
      EXPECT_EQ(calls[i].outBuffer, 0u);
      EXPECT_EQ(calls[i].inBuffer, 18u);
      EXPECT_EQ(calls[i].timeOut, 0u);
      EXPECT_FALSE(calls[i].security);
    }
  }
}

}  // namespace
