// The command tail: a port only from "-p " or "-P " and at least six
// characters; the test only with 'P' and a port; the port is the low 16 bits
// of the number read from the fourth character on.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_tail.h"
#include "protocol/hex_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string tail(reinterpret_cast<const char*>(data), size);
  tail = tail.substr(0, tail.find('\0'));
  const CommandTail got = ReadCommandTail(tail.c_str());

  const bool shaped = tail.size() >= 6 && tail[0] == '-' && (tail[1] == 'p' || tail[1] == 'P') && tail[2] == ' ';
  uint32_t number = 0;
  const uint16_t port = (shaped && ReadHexNumber(tail.c_str() + 3, &number)) ? uint16_t(number) : 0;
  if (got.port != port) std::abort();
  if (got.hardwareTest != (shaped && tail[1] == 'P' && port != 0)) std::abort();
  return 0;
}
