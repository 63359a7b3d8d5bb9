#include "rtl/wrap_text.h"

#include "rtl/code_page.h"
#include "rtl/text.h"

namespace meridian::rtl {

std::string WrapText(std::string_view line, std::string_view break_text, std::string_view break_chars,
                     int32_t width) {
  // Positions and columns are 1-based; `at(p)` is the byte at position p.
  const size_t length = line.size();
  auto at = [&](size_t p) { return line[p - 1]; };
  auto is_break_char = [&](char c) { return break_chars.find(c) != std::string_view::npos; };
  const int64_t max_column = width;

  int64_t column = 1;
  size_t pos = 1;
  size_t line_start = 1;
  size_t break_pos = 0;
  bool quote_open = false;
  bool existing_break = false;
  std::string result;
  result.reserve(length + length / 8 + break_text.size());

  while (pos <= length) {
    const char c = at(pos);
    if (IsLeadByte(c)) {
      // The pair moves as one; the trail byte is never looked at.
      ++pos;
      ++column;
    } else if (!break_text.empty() && c == break_text[0]) {
      if (!quote_open && length - pos + 1 >= break_text.size() &&
          SameText(line.substr(pos - 1, break_text.size()), break_text)) {
        existing_break = true;
        pos += break_text.size() - 1;
        break_pos = pos;
      }
    } else if (is_break_char(c)) {
      if (!quote_open) break_pos = pos;
    } else if (c == '"') {
      quote_open = !quote_open;
    }
    ++pos;
    ++column;

    if (!quote_open && (existing_break || (column > max_column && break_pos > line_start))) {
      column = static_cast<int64_t>(pos - break_pos);
      result.append(line.substr(line_start - 1, break_pos - line_start + 1));
      if (c != '"') {
        while (pos <= length && (is_break_char(at(pos)) || at(pos) == '\r' || at(pos) == '\n')) ++pos;
        if (!existing_break && pos <= length) result.append(break_text);
      }
      line_start = break_pos + 1;
      existing_break = false;
    }
  }
  if (line_start <= length) result.append(line.substr(line_start - 1));
  return result;
}

}  // namespace meridian::rtl
