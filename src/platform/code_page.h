// The system's 8-bit ("ANSI") code page as the platform reports it.
#pragma once

#include <cstdint>

namespace meridian::platform {

// Code page numbers in the Windows numbering, which the rest of the system uses
// whatever the platform.
inline constexpr uint32_t kCodePageShiftJis = 932;
inline constexpr uint32_t kCodePageGbk = 936;
inline constexpr uint32_t kCodePageKorean = 949;  // Unified Hangul (a superset of EUC-KR)
inline constexpr uint32_t kCodePageBig5 = 950;
inline constexpr uint32_t kCodePageWestern = 1252;
inline constexpr uint32_t kCodePageAscii = 20127;
inline constexpr uint32_t kCodePageEucKr = 51949;
inline constexpr uint32_t kCodePageUtf8 = 65001;

// The code page of the process's locale (on POSIX: the character set of the
// environment's LC_CTYPE locale). Never fails: an unknown character set gives
// kCodePageWestern, which has no lead bytes.
uint32_t AnsiCodePage();

}  // namespace meridian::platform
