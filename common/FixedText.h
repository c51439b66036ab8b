// Text in a buffer of fixed size, for what must not allocate (the last-chance handler and what
// it calls). Free of Win32.
#pragma once

#include <cstddef>

// Text in a buffer of its own, always ended by a zero; what does not fit is dropped.
template <std::size_t Capacity>
class FixedText {
 public:
  FixedText() = default;
  explicit FixedText(const wchar_t* text) { append(text); }
  FixedText& append(const wchar_t* text, std::size_t count) {
    for (std::size_t i = 0; i < count && length_ + 1 < Capacity; ++i) text_[length_++] = text[i];
    text_[length_] = L'\0';
    return *this;
  }
  FixedText& append(std::size_t count, wchar_t c) {
    for (std::size_t i = 0; i < count && length_ + 1 < Capacity; ++i) text_[length_++] = c;
    text_[length_] = L'\0';
    return *this;
  }
  FixedText& append(const wchar_t* text) {
    std::size_t count = 0;
    while (text && text[count]) ++count;
    return append(text, count);
  }
  std::size_t size() const { return length_; }
  const wchar_t* c_str() const { return text_; }
  wchar_t& operator[](std::size_t at) { return text_[at]; }

 private:
  wchar_t text_[Capacity] = {};
  std::size_t length_ = 0;
};
