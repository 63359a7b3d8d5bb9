#include "rtl/code_page.h"

#include <atomic>

#include "platform/code_page.h"

namespace meridian::rtl {

namespace {

constexpr uint32_t kUnset = 0;
std::atomic<uint32_t> g_code_page{kUnset};

}  // namespace

uint32_t CodePage() {
  uint32_t cp = g_code_page.load(std::memory_order_relaxed);
  if (cp == kUnset) {
    uint32_t expected = kUnset;
    const uint32_t detected = platform::AnsiCodePage();
    g_code_page.compare_exchange_strong(expected, detected);
    cp = g_code_page.load(std::memory_order_relaxed);
  }
  return cp;
}

void SetCodePage(uint32_t code_page) { g_code_page.store(code_page, std::memory_order_relaxed); }

bool IsLeadByte(uint32_t code_page, unsigned char c) {
  switch (code_page) {
    case platform::kCodePageKorean:
    case platform::kCodePageGbk:
    case platform::kCodePageBig5:
      return c >= 0x81 && c <= 0xFE;
    case platform::kCodePageEucKr:
      return c >= 0xA1 && c <= 0xFE;
    case platform::kCodePageShiftJis:
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    default:
      return false;
  }
}

bool HasLeadBytes() {
  switch (CodePage()) {
    case platform::kCodePageKorean:
    case platform::kCodePageGbk:
    case platform::kCodePageBig5:
    case platform::kCodePageEucKr:
    case platform::kCodePageShiftJis:
      return true;
    default:
      return false;
  }
}

}  // namespace meridian::rtl
