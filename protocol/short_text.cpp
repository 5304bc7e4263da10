#include "protocol/short_text.h"

#include <cstring>

ShortText& ShortText::Add(const char* text) { return Add(text, std::strlen(text)); }

ShortText& ShortText::Add(const char* text, size_t count) {
  if (count > kCapacity - size_) count = kCapacity - size_;
  std::memcpy(text_ + size_, text, count);
  size_ += count;
  text_[size_] = '\0';
  return *this;
}

ShortText& ShortText::AddQuoted(const char* text, size_t count) {
  constexpr size_t kLongest = 40;
  Add("\"");
  if (count > kLongest) return Add(text, kLongest).Add("...\"");
  return Add(text, count).Add("\"");
}

ShortText& ShortText::AddNumber(double value) {
  if (value < 0) {
    Add("-");
    value = -value;
  }
  constexpr double kScale = 1e6;  // Six decimals.
  const unsigned long long scaled = static_cast<unsigned long long>(value * kScale + 0.5);
  unsigned long long whole = scaled / 1000000, fraction = scaled % 1000000;
  char digits[32];
  size_t at = sizeof digits;
  do {
    digits[--at] = char('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  Add(digits + at, sizeof digits - at);
  if (fraction == 0) return *this;
  char decimals[8] = ".";
  size_t length = 7;
  for (size_t i = 6; i >= 1; --i, fraction /= 10) decimals[i] = char('0' + fraction % 10);
  while (decimals[length - 1] == '0') --length;
  return Add(decimals, length);
}

void ShortText::CopyTo(char* out, size_t size) const {
  if (size == 0) return;
  const size_t count = size_ < size - 1 ? size_ : size - 1;
  std::memcpy(out, text_, count);
  out[count] = '\0';
}

void ShortText::Clear() {
  size_ = 0;
  text_[0] = '\0';
}
