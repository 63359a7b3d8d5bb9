#include "platform/code_page.h"

#include <windows.h>

namespace meridian::platform {

// The system's ANSI code page is already in the numbering the rest of the
// system uses.
uint32_t AnsiCodePage() {
  const UINT code_page = GetACP();
  return code_page != 0 ? static_cast<uint32_t>(code_page) : kCodePageWestern;
}

}  // namespace meridian::platform
