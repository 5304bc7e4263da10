// The listener's steps over a scripted server end: what it hands its sink,
// in order, and what it does with the end. Transport only: no lamp, port or
// window is linked here.
#include "pipe/pipe_listener.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipe/pipe_name.h"
#include "tests/fakes/scripted_pipe_server.h"

namespace {

// Every call the sink gets, in words, with the context it was handed.
struct Heard {
  std::vector<std::string> calls;
};

Heard* Of(void* context) { return static_cast<Heard*>(context); }
void Line(void* context, const char* line) { Of(context)->calls.push_back(std::string("line ") + line); }
void Error(void* context, long code) { Of(context)->calls.push_back("error " + std::to_string(code)); }
void Note(void* context, ListenerEvent event) {
  const char* words[] = {"listening", "client came", "client went"};
  Of(context)->calls.push_back(words[int(event)]);
}

struct ListenerCase {
  const char* name;
  ScriptedServer script;
  std::vector<std::string> heard;  // With a note; without one the same but the notes.
  int disconnects;
  bool closed;
};

void PrintTo(const ListenerCase& c, std::ostream* os) { *os << c.name; }

class Listener : public testing::TestWithParam<ListenerCase> {};

bool IsNote(const std::string& call) { return call.rfind("line ", 0) != 0 && call.rfind("error ", 0) != 0; }

TEST_P(Listener, HandsItsSinkLinesMarkersAndTheError) {
  const ListenerCase& c = GetParam();
  for (const bool withNote : {true, false}) {
    SCOPED_TRACE(withNote ? "with a note" : "without a note");
    Server() = c.script;
    Heard heard;
    const ListenerSink sink{&heard, Line, Error, withNote ? Note : nullptr};
    EXPECT_EQ(PipeListenThread(sink), 0);

    std::vector<std::string> expected;
    for (const std::string& call : c.heard)
      if (withNote || !IsNote(call)) expected.push_back(call);
    EXPECT_EQ(heard.calls, expected);
    EXPECT_EQ(Server().createdName, PIPE_NAME);
    EXPECT_EQ(Server().disconnects, c.disconnects);
    EXPECT_EQ(Server().closed, c.closed);
  }
}

ScriptedServer Clients(std::vector<std::vector<std::string>> clients, bool disconnectFails = false) {
  ScriptedServer script;
  script.clients = std::move(clients);
  script.disconnectFails = disconnectFails;
  return script;
}

ScriptedServer Refused(long code) {
  ScriptedServer script;
  script.createError = code;
  return script;
}

INSTANTIATE_TEST_SUITE_P(Steps, Listener, testing::Values(
    // Another copy serves the pipe: ">???" stays, the error goes to the
    // sink, nothing is said to be listening and there is no end to close.
    ListenerCase{"Refused", Refused(231), {"line >???", "error 231"}, 0, false},
    ListenerCase{"NoClient", Clients({}), {"line >???", "listening"}, 0, true},
    ListenerCase{"OneClient", Clients({{">5L1234\n"}}),
                 {"line >???", "listening", "client came", "line >5L1234", "line >xxx", "client went"}, 1, true},
    // A read of 0 bytes, one with no line and an overlong line hand on
    // nothing; each read hands on at most its first line.
    ListenerCase{"ReadsWithoutLines", Clients({{"", "5L12\n", ">5L123456789\n", ">3L1\n>5L2\n"}}),
                 {"line >???", "listening", "client came", "line >3L1", "line >xxx", "client went"}, 1, true},
    ListenerCase{"TwoClients", Clients({{">5L1\n"}, {">5L2\n"}}),
                 {"line >???", "listening", "client came", "line >5L1", "line >xxx", "client went",
                  "client came", "line >5L2", "line >xxx", "client went"}, 2, true},
    // A failed disconnection ends the listener after the client's marker.
    ListenerCase{"DisconnectFails", Clients({{">5L1\n"}, {">5L2\n"}}, true),
                 {"line >???", "listening", "client came", "line >5L1", "line >xxx", "client went"}, 1, true}),
    [](const testing::TestParamInfo<ListenerCase>& info) { return std::string(info.param.name); });

}  // namespace
