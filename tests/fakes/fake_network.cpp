#include "tests/fakes/fake_network.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "lightnet/ola_link.h"
#include "lightnet/open_dmx.h"
#include "lightnet/packets.h"
#include "tests/support/test_threads.h"

namespace {

// The senders run on threads of their own: everything under one lock.
TestLock& Lock() {
  static TestLock lock;
  return lock;
}
std::map<std::string, uint32_t> Addresses;
std::map<intptr_t, UdpTarget> Sockets;
intptr_t NextSocket = 3;
int SendError;
bool Refusing, RefusalPending;
std::vector<Datagram> SentDatagrams;
std::vector<std::string> LookupNames, SaidLines;
size_t OlaSends;
bool OpenDmxThere = true;
size_t OpenDmxOpenCount, OpenDmxFrameCount;
std::vector<uint8_t> OpenDmxLast(512, 0);

// Keeps the receiver's pixels at least `pixels` long.
void Grow(std::vector<uint8_t>* pixels, size_t bytes) {
  if (pixels->size() < bytes) pixels->resize(bytes, 0);
}

}  // namespace

namespace fake_network {

void Reset() {
  TestLockHold hold(Lock());
  Addresses.clear();
  Sockets.clear();
  SendError = 0;
  Refusing = RefusalPending = false;
  SentDatagrams.clear();
  LookupNames.clear();
  SaidLines.clear();
  OlaSends = 0;
  OpenDmxThere = true;
  OpenDmxOpenCount = OpenDmxFrameCount = 0;
  OpenDmxLast.assign(512, 0);
}

void SetAddress(const std::string& name, uint32_t address) {
  TestLockHold hold(Lock());
  Addresses[name] = address;
}

void SetRefusing(bool refusing) { SetLocked(Lock(), &Refusing, refusing); }

void SetSendError(int error) { SetLocked(Lock(), &SendError, error); }

std::vector<Datagram> Sent() { return ReadLocked(Lock(), SentDatagrams); }

std::vector<std::string> Lookups() { return ReadLocked(Lock(), LookupNames); }

std::vector<std::string> Lines() { return ReadLocked(Lock(), SaidLines); }

size_t OpenSockets() {
  TestLockHold hold(Lock());
  return Sockets.size();
}

size_t OlaFrames() { return ReadLocked(Lock(), OlaSends); }

void SetOpenDmxPresent(bool present) { SetLocked(Lock(), &OpenDmxThere, present); }

size_t OpenDmxOpens() { return ReadLocked(Lock(), OpenDmxOpenCount); }

size_t OpenDmxFrames() { return ReadLocked(Lock(), OpenDmxFrameCount); }

std::vector<uint8_t> OpenDmxLevels() { return ReadLocked(Lock(), OpenDmxLast); }

std::vector<uint8_t> WledPixels(const std::vector<Datagram>& sent, bool* wellFormed) {
  std::vector<uint8_t> pixels;
  *wellFormed = true;
  for (const Datagram& d : sent) {
    const std::vector<uint8_t>& b = d.bytes;
    if (d.to.port != kWledPort) continue;
    // WLED takes at most 1472 bytes; DRGB starts at pixel 0, DNRGB at its index.
    const bool drgb = b.size() >= 2 && b[0] == 2, dnrgb = b.size() >= 4 && b[0] == 4;
    const size_t header = drgb ? 2 : 4;
    if ((!drgb && !dnrgb) || b.size() > 1472 || (b.size() - header) % 3 != 0) {
      *wellFormed = false;
      continue;
    }
    const size_t start = dnrgb ? size_t(b[2]) << 8 | b[3] : 0;
    Grow(&pixels, (start * 3) + b.size() - header);
    std::copy(b.begin() + long(header), b.end(), pixels.begin() + long(start * 3));
  }
  return pixels;
}

std::vector<uint8_t> DdpPixels(const std::vector<Datagram>& sent, bool* wellFormed) {
  std::vector<uint8_t> pixels;
  *wellFormed = true;
  for (const Datagram& d : sent) {
    const std::vector<uint8_t>& b = d.bytes;
    if (d.to.port != kDdpPort) continue;
    if (b.size() < 10 || (b[0] & 0xC0) != 0x40 || b[2] != 0x0B || b[3] != 1 ||
        (size_t(b[8]) << 8 | b[9]) != b.size() - 10 || b.size() > kDdpPacketSize) {
      *wellFormed = false;
      continue;
    }
    const size_t offset = size_t(b[4]) << 24 | size_t(b[5]) << 16 | size_t(b[6]) << 8 | b[7];
    Grow(&pixels, offset + b.size() - 10);
    std::copy(b.begin() + 10, b.end(), pixels.begin() + long(offset));
  }
  return pixels;
}

}  // namespace fake_network

bool StartNetworking() { return true; }

intptr_t OpenUdpSender(const UdpTarget& target, int* error, const char** what) {
  *error = 0;
  *what = "cannot open a socket";
  TestLockHold hold(Lock());
  Sockets[NextSocket] = target;
  return NextSocket++;
}

int SendUdp(intptr_t socket, const uint8_t* data, size_t length) {
  TestLockHold hold(Lock());
  if (SendError != 0) return SendError;
  if (RefusalPending) {
    RefusalPending = false;
    return fake_network::kRefusal;
  }
  RefusalPending = Refusing;
  SentDatagrams.push_back(Datagram{Sockets.at(socket), std::vector<uint8_t>(data, data + length)});
  return 0;
}

bool IsRefusal(int error) { return error == fake_network::kRefusal; }

void CloseUdpSender(intptr_t socket) {
  if (socket == -1) return;
  TestLockHold hold(Lock());
  Sockets.erase(socket);
}

bool ResolveHostName(const char* name, uint32_t* address) {
  TestLockHold hold(Lock());
  LookupNames.push_back(name);
  const auto found = Addresses.find(name);
  if (found == Addresses.end() || found->second == 0) return false;
  *address = found->second;
  return true;
}

void LocalHostName(char* out, size_t size) { snprintf(out, size, "fake-host"); }

void ErrorText(int error, char* out, size_t size) { snprintf(out, size, "error %d", error); }

void PrintConsoleLine(const char* line) {
  TestLockHold hold(Lock());
  SaidLines.push_back(line);
}

bool OlaInThisBuild() { return true; }
void* OlaConnect() {
  static int client;
  return &client;
}
bool OlaSendDmx(void*, uint32_t, const uint8_t*) {
  TestLockHold hold(Lock());
  ++OlaSends;
  return true;
}
void OlaClose(void*) {}

bool OpenDmxInThisBuild() { return true; }
void* OpenDmxOpen(unsigned, char* why, size_t size) {
  static int link;
  TestLockHold hold(Lock());
  ++OpenDmxOpenCount;
  if (OpenDmxThere) return &link;
  if (why != nullptr) snprintf(why, size, "no interface");
  return nullptr;
}
bool OpenDmxSendFrame(void*, const uint8_t* levels) {
  TestLockHold hold(Lock());
  if (!OpenDmxThere) return false;
  ++OpenDmxFrameCount;
  OpenDmxLast.assign(levels, levels + 512);
  return true;
}
void OpenDmxClose(void*) {}
