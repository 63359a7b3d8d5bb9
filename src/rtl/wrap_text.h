// Wrapping a long line at break characters, as header folding needs it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace meridian::rtl {

// Inserts `break_text` into `line` so that lines end after a break character
// once the column passes `width`. Break characters stay at the end of the line
// they end; break characters, CR and LF right after a break point are stepped
// over (they begin the next line). An occurrence of `break_text` already in
// the line (letter case ignored) counts as a break. Text between double quotes
// is never broken, nor is a double-byte character of the process code page. A
// line without break characters comes back unchanged, however long.
std::string WrapText(std::string_view line, std::string_view break_text, std::string_view break_chars,
                     int32_t width);

}  // namespace meridian::rtl
