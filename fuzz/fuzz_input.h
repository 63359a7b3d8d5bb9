// Splitting one fuzz input into the several arguments a target needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "rtl/code_page.h"

namespace meridian::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  // One byte, 0 once the input is used up.
  uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<uint8_t>(rest_[0]);
    rest_.remove_prefix(1);
    return b;
  }
  // Text up to the next NUL byte (which is consumed), or all that is left.
  std::string Text() {
    const size_t end = rest_.find('\0');
    std::string text(rest_.substr(0, end));
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return text;
  }
  std::string Rest() {
    std::string text(rest_);
    rest_ = {};
    return text;
  }

  // Switches between a double-byte and a single-byte code page.
  void PickCodePage() {
    rtl::SetCodePage((Byte() & 1) != 0 ? platform::kCodePageKorean : platform::kCodePageWestern);
  }

 private:
  std::string_view rest_;
};

}  // namespace meridian::fuzz
