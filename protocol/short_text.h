// A short message text in a fixed array, for the clients' status and option
// errors: built without the heap, so that a Windows client without
// exceptions (lightsend.exe) needs no std::string. What does not fit is cut.
#pragma once
#include <cstddef>

class ShortText {
 public:
  static constexpr size_t kCapacity = 255;

  ShortText& Add(const char* text);
  ShortText& Add(const char* text, size_t count);
  // text between double quotes; a long one cut to its first 40 characters
  // and "...", so that what follows it still fits.
  ShortText& AddQuoted(const char* text, size_t count);
  // A number as printf's %.10g writes it, for numbers below 10^15 in size
  // with at most six decimals (option bounds, error codes, line numbers).
  ShortText& AddNumber(double value);
  void Set(const char* text) { Clear(); Add(text); }
  void Clear();
  // The text into a caller's buffer of size bytes, cut to fit with its zero.
  void CopyTo(char* out, size_t size) const;

  const char* c_str() const { return text_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  char text_[kCapacity + 1] = "";
  size_t size_ = 0;
};
