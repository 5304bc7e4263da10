// Start-up's port work without a window, for checks of the real back ends.
//
//   port_start -p|-P <hex address> [line...]
//
// Reads the address as the command tail is read, runs StartPort (with
// the hardware test for -P), prints "PortBase=<hex>", then applies each
// further argument as a received line and prints "PortBase=<hex>" again.
// Boxes go to stdout and to $PORT_TEST_LOG (the fake UI's print mode).
#include <cstdio>

#include "app/lamp_path.h"
#include "lights/light_control.h"
#include "protocol/hex_number.h"
#include "tests/fakes/fake_ui.h"

int main(int argc, char** argv) {
  if (argc < 3 || argv[1][0] != '-' || (argv[1][1] != 'p' && argv[1][1] != 'P')) {
    std::fprintf(stderr, "usage: port_start -p|-P <hex address> [line...]\n");
    return 2;
  }
  fake_ui::Use(fake_ui::kPrint);
  uint32_t address = 0;
  ReadHexNumber(argv[2], &address);
  PortBase = uint16_t(address);
  StartPort(argv[1][1] == 'P');
  std::printf("PortBase=%X\n", PortBase);
  for (int i = 3; i < argc; ++i) TakeLightLine(argv[i]);
  std::printf("PortBase=%X\n", PortBase);
  return 0;
}
