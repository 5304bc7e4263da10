#include "tests/fakes/fake_serial.h"

#include <cstdio>
#include <cstring>

#include "lightnet/serial_port.h"
#include "lightnet/usbpro.h"
#include "platform/clock.h"
#include "tests/support/test_threads.h"

namespace {

TestLock& Lock() {
  static TestLock lock;
  return lock;
}
int OpenError, WriteError;
// As after Reset, for a program that never calls it.
std::vector<uint8_t> Answer = fake_serial::GoodAnswer(), Pending, WrittenBytes;
size_t OpenCount, OpenNow;
const intptr_t kPort = 7;

}  // namespace

namespace fake_serial {

std::vector<uint8_t> GoodAnswer() {
  const uint8_t data[5] = {44, 1, 9, 1, 40};
  uint8_t message[16];
  const size_t size = BuildUsbProMessage(kUsbProParametersLabel, data, sizeof data, message, sizeof message);
  return std::vector<uint8_t>(message, message + size);
}

void Reset() {
  TestLockHold hold(Lock());
  OpenError = WriteError = 0;
  Answer = GoodAnswer();
  Pending.clear();
  WrittenBytes.clear();
  OpenCount = OpenNow = 0;
}

void SetOpenError(int error) { SetLocked(Lock(), &OpenError, error); }

void SetAnswer(const std::vector<uint8_t>& bytes) { SetLocked(Lock(), &Answer, bytes); }

void SetWriteError(int error) { SetLocked(Lock(), &WriteError, error); }

std::vector<uint8_t> Written() { return ReadLocked(Lock(), WrittenBytes); }

size_t Opens() { return ReadLocked(Lock(), OpenCount); }

size_t OpenPorts() { return ReadLocked(Lock(), OpenNow); }

}  // namespace fake_serial

intptr_t OpenSerialPort(const char*, int* error) {
  TestLockHold hold(Lock());
  ++OpenCount;
  if (OpenError != 0) {
    *error = OpenError;
    return -1;
  }
  ++OpenNow;
  return kPort;
}

int WriteSerial(intptr_t, const uint8_t* data, size_t length, double) {
  TestLockHold hold(Lock());
  if (WriteError != 0) return WriteError;
  WrittenBytes.insert(WrittenBytes.end(), data, data + length);
  uint8_t request[8];
  const size_t size = BuildUsbProParametersRequest(request, sizeof request);
  if (length == size && std::memcmp(data, request, size) == 0) Pending = Answer;
  return 0;
}

long ReadSerial(intptr_t, uint8_t* out, size_t size, double seconds, int*) {
  {
    TestLockHold hold(Lock());
    if (!Pending.empty()) {
      // A byte at a time: the reader must put the answer together.
      out[0] = Pending.front();
      Pending.erase(Pending.begin());
      (void)size;
      return 1;
    }
  }
  SleepSeconds(seconds);
  return 0;
}

void DropSerialInput(intptr_t) {
  TestLockHold hold(Lock());
  Pending.clear();
}

void CloseSerialPort(intptr_t port) {
  if (port == -1) return;
  TestLockHold hold(Lock());
  --OpenNow;
}

bool CheckSerialPort(const char*, char*, size_t) { return true; }

void SerialErrorText(int error, char* out, size_t size) { snprintf(out, size, "serial error %d", error); }
