// Finding the Linux parallel-port device that sits at a given I/O address.
#pragma once
#include <cstdint>
#include <string>

// The number N of the port whose <procRoot>/sys/dev/parport/parportN/base-addr
// starts with base (in decimal, as the kernel writes it: "888\t1912\n"), so
// that /dev/parportN drives it; -1 when no port has that address or the tree
// cannot be read. procRoot is "/proc" outside tests.
int FindParportDevice(const std::string& procRoot, uint16_t base);
