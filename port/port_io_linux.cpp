// Port access on Linux.
//
// - The ppdev device /dev/parportN of the port at the base address, when
//   there is one and this user may open it (the lp group, the ppdev module):
//   the kernel's parport driver does the I/O.
// - Otherwise the in and out instructions, after ioperm grants the three
//   registers (root or CAP_SYS_RAWIO; x86 only).
// - Otherwise no access.
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "port/parport_proc.h"
#include "port/port_io.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>

namespace {
bool DirectAccessOpen(uint16_t base) { return ioperm(base, 3, 1) == 0; }  // Data, status, control.
uint8_t DirectRead(uint16_t address) { return inb(address); }
void DirectWrite(uint16_t address, uint8_t value) { outb(value, address); }
}  // namespace
#else
// No port instructions on this processor: ppdev or nothing.
namespace {
bool DirectAccessOpen(uint16_t) { return false; }
uint8_t DirectRead(uint16_t) { return 0xFF; }
void DirectWrite(uint16_t, uint8_t) {}
}  // namespace
#endif

namespace {

enum class Access { kNone, kPpdev, kDirect };

Access portAccess = Access::kNone;
uint16_t portBase = 0;
int device = -1;  // The claimed /dev/parportN; held until the process ends.

// Why the device was not used, for the message: empty when there was none.
std::string deviceTrouble;

bool OpenPpdev(uint16_t base) {
  const int number = FindParportDevice("/proc", base);
  if (number < 0) return false;
  const std::string path = "/dev/parport" + std::to_string(number);
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    deviceTrouble = path + ": " + std::strerror(errno);
    return false;
  }
  if (ioctl(fd, PPCLAIM) != 0) {
    deviceTrouble = path + " could not be claimed: " + std::strerror(errno);
    close(fd);
    return false;
  }
  device = fd;
  return true;
}

// ppdev takes the raw register bits. Only bits 0 to 3 of the control
// register drive pins; bit 5 would turn the data lines around.
constexpr unsigned char kControlPins = 0x0F;

}  // namespace

bool PortAccessOpen(uint16_t base) {
  portBase = base;
  deviceTrouble.clear();
  if (OpenPpdev(base)) {
    portAccess = Access::kPpdev;
  } else if (DirectAccessOpen(base)) {
    portAccess = Access::kDirect;
  } else {
    portAccess = Access::kNone;
  }
  return portAccess != Access::kNone;
}

void FormatNoPortAccessMessage(uint16_t base, char* text, size_t size) {
  const std::string trouble = deviceTrouble.empty() ? "" : " (" + deviceTrouble + ")";
  std::snprintf(text, size,
                "No access to the parallel port at %X%s.\n\nLoad the ppdev module (modprobe "
                "ppdev) and add yourself to the lp group, or run the program with the right to "
                "use the ports (as root, or with CAP_SYS_RAWIO), and start again.\n\nThe lamps "
                "are shown in the window only (EMU).",
                base, trouble.c_str());
}

// Start-up and the bank outputs use only the data and the control register.
uint8_t PortRead8(uint16_t address) {
  if (portAccess != Access::kPpdev) return DirectRead(address);
  unsigned char value = 0xFF;
  ioctl(device, address == portBase ? PPRDATA : PPRCONTROL, &value);
  return value;
}

void PortWrite8(uint16_t address, uint8_t value) {
  if (portAccess != Access::kPpdev) {
    DirectWrite(address, value);
    return;
  }
  unsigned char bits = value;
  if (address == portBase) {
    ioctl(device, PPWDATA, &bits);
  } else {
    bits &= kControlPins;
    ioctl(device, PPWCONTROL, &bits);
  }
}
