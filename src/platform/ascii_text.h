// Small text helpers for the platform layer, which sits below the runtime's
// text utilities and so cannot use them.
#pragma once

#include <string_view>

namespace meridian::platform {

// `text` without leading and trailing blanks, tabs and line-break bytes.
inline std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Equality with ASCII letters compared without regard to case.
inline bool SameAsciiText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace meridian::platform
