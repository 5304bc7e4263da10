// The hexadecimal reading against a model built another way: the digits'
// value modulo 2^32 is the value of their last eight digits.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/hex_number.h"

namespace {

bool ModelRead(const std::string& text, uint32_t* value) {
  size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos) return false;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = (text[i++] == '-');
  if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) i += 2;
  const size_t end = text.find_first_not_of("0123456789abcdefABCDEF", i);
  const std::string digits = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
  if (digits.empty()) return false;
  const std::string last8 = digits.size() > 8 ? digits.substr(digits.size() - 8) : digits;
  const uint32_t magnitude = uint32_t(std::strtoul(last8.c_str(), nullptr, 16));
  *value = negative ? uint32_t(0) - magnitude : magnitude;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string cText = text.substr(0, text.find('\0'));  // What a C string holds.
  uint32_t got = 0x5A5A5A5A, expected = 0x5A5A5A5A;
  const bool read = ReadHexNumber(cText.c_str(), &got);
  const bool modelRead = ModelRead(cText, &expected);
  if (read != modelRead || got != expected) std::abort();
  return 0;
}
