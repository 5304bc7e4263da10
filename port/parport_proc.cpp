#include "port/parport_proc.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// "parport0" -> 0; anything else ("default", "parport", "parportX") -> -1.
int PortNumber(const std::string& name) {
  const std::string prefix = "parport";
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
  int number = 0;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i])) || number > 99999) return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

// The first number in the file: the base address. The second, when there is
// one, is the port's ECP register block, which is not ours.
bool ReadBaseAddress(const std::filesystem::path& file, unsigned long* base) {
  std::ifstream in(file);
  return bool(in >> *base);
}

}  // namespace

int FindParportDevice(const std::string& procRoot, uint16_t base) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::directory_iterator entries(fs::path(procRoot) / "sys/dev/parport", error);
  if (error) return -1;
  int found = -1;
  for (const fs::directory_entry& entry : entries) {
    const int number = PortNumber(entry.path().filename().string());
    unsigned long address = 0;
    if (number < 0 || !ReadBaseAddress(entry.path() / "base-addr", &address)) continue;
    // Directory order is arbitrary; the lowest number wins, every time.
    if (address == base && (found < 0 || number < found)) found = number;
  }
  return found;
}
