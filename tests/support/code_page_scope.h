// Sets the process code page for the life of the object and restores the old one.
#pragma once

#include <cstdint>

#include "rtl/code_page.h"

namespace meridian::testing {

class CodePageScope {
 public:
  explicit CodePageScope(uint32_t cp) : saved_(rtl::CodePage()) { rtl::SetCodePage(cp); }
  ~CodePageScope() { rtl::SetCodePage(saved_); }
  CodePageScope(const CodePageScope&) = delete;
  CodePageScope& operator=(const CodePageScope&) = delete;

 private:
  uint32_t saved_;
};

}  // namespace meridian::testing
