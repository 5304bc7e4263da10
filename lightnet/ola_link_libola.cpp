#include <ola/DmxBuffer.h>
#include <ola/Logging.h>
#include <ola/client/StreamingClient.h>

#include "lightnet/ola_link.h"

bool OlaInThisBuild() { return true; }

void* OlaConnect() {
  // Only errors from libola itself, on standard error.
  ola::InitLogging(ola::OLA_LOG_WARN, ola::OLA_LOG_STDERR);
  ola::client::StreamingClient::Options options;
  options.auto_start = false;  // olad is the user's to start, with their configuration.
  auto* client = new ola::client::StreamingClient(options);
  if (!client->Setup()) {
    delete client;
    return nullptr;
  }
  return client;
}

bool OlaSendDmx(void* client, uint32_t universe, const uint8_t levels[512]) {
  ola::DmxBuffer buffer(levels, 512);
  return static_cast<ola::client::StreamingClient*>(client)->SendDmx(universe, buffer);
}

void OlaClose(void* client) {
  auto* streaming = static_cast<ola::client::StreamingClient*>(client);
  if (streaming == nullptr) return;
  streaming->Stop();
  delete streaming;
}
