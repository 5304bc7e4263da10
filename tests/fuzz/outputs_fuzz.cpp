// The outputs from the command line to the wire: any tail the option reader
// accepts starts its outputs over the fake network, sends a frame of lamps
// and stops. Every datagram fits the senders' buffer and is well formed for
// its receiver, each output sends to its own protocol's port, and nothing
// is written past a buffer (ASan).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lightnet/output_options.h"
#include "lightnet/outputs.h"
#include "lightnet/packets.h"
#include "tests/fakes/fake_network.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t bank0 = data[0], bank1 = data[1];
  std::string tail(reinterpret_cast<const char*>(data + 2), size - 2);
  tail = tail.substr(0, tail.find('\0'));
  static OutputOptions options;
  ReadOutputOptions(tail.c_str(), &options);
  if (options.count == 0) return 0;
  fake_network::Reset();
  // Names resolve, so that every output sends.
  for (size_t i = 0; i < options.count; ++i) fake_network::SetAddress(options.outputs[i].host, 0x0A000001);
  StartOutputs(options.outputs, options.count);
  SendLamps(LampBits(bank0 | bank1 << 8));
  StopOutputs();

  bool ports[65536] = {};
  for (size_t i = 0; i < options.count; ++i) {
    switch (options.outputs[i].kind) {
      case OutputKind::kSacn: ports[kSacnPort] = true; break;
      case OutputKind::kArtNet: ports[kArtNetPort] = true; break;
      case OutputKind::kWled: ports[kWledPort] = true; break;
      case OutputKind::kDdp: ports[kDdpPort] = true; break;
      case OutputKind::kOla: break;
    }
  }
  const std::vector<Datagram> sent = fake_network::Sent();
  for (const Datagram& d : sent) {
    if (d.bytes.empty() || d.bytes.size() > kMaxPacketSize) std::abort();
    if (!ports[d.to.port]) std::abort();  // A port no output of this tail sends to.
  }
  bool wellFormed = true;
  fake_network::WledPixels(sent, &wellFormed);
  if (!wellFormed) std::abort();
  fake_network::DdpPixels(sent, &wellFormed);
  if (!wellFormed) std::abort();
  if (fake_network::OpenSockets() != 0) std::abort();
  return 0;
}
