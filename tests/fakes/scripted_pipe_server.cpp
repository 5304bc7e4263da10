#include "tests/fakes/scripted_pipe_server.h"

#include <cstring>

#include "pipe/pipe_endpoint.h"
#include "pipe/pipe_name.h"

struct PipeServer {
  size_t client = 0;  // The next client to come, then the one served.
  size_t read = 0;    // The served client's next read.
};

ScriptedServer& Server() {
  static ScriptedServer script;
  return script;
}

PipeServer* PipeServerCreate(const char* name, long* error) {
  Server().createdName = name;
  if (Server().createError != 0) {
    *error = Server().createError;
    return nullptr;
  }
  static PipeServer server;
  server = PipeServer{};
  return &server;
}

bool PipeServerWaitClient(PipeServer* server) {
  if (server->client >= Server().clients.size()) return false;  // As a failed wait.
  server->read = 0;
  return true;
}

long PipeServerRead(PipeServer* server, unsigned char* bytes) {
  const std::vector<std::string>& reads = Server().clients[server->client];
  if (server->read >= reads.size()) return -1;
  const std::string& read = reads[server->read++];
  const size_t count = read.size() < kPipeReadSize ? read.size() : kPipeReadSize;
  std::memcpy(bytes, read.data(), count);
  return long(count);
}

bool PipeServerDisconnect(PipeServer* server) {
  ++server->client;
  ++Server().disconnects;
  return !Server().disconnectFails;
}

void PipeServerClose(PipeServer* server) {
  if (server != nullptr) Server().closed = true;
}
