// The process-wide code page, which decides the double-byte awareness of every
// text search of the system: on a code page with lead bytes a match never starts
// on the second byte of a double-byte character.
#pragma once

#include <cstdint>

namespace meridian::rtl {

// The process's code page number. Taken from the platform on first use.
uint32_t CodePage();

// Replaces the process's code page (used by tests and by hosts that know better
// than the locale). Thread-safe, but searches already running keep the old one.
void SetCodePage(uint32_t code_page);

// True when c is the first byte of a double-byte character in `code_page`.
bool IsLeadByte(uint32_t code_page, unsigned char c);

// True when c is a lead byte of the process's code page.
inline bool IsLeadByte(char c) { return IsLeadByte(CodePage(), static_cast<unsigned char>(c)); }

// True when the process's code page has lead bytes at all.
bool HasLeadBytes();

}  // namespace meridian::rtl
