#include "platform/statement_markers.h"

namespace meridian::platform {

namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

std::string PositionalStatement(std::string_view sql, std::vector<std::string>& names) {
  names.clear();
  std::string text;
  text.reserve(sql.size());
  char quote = '\0';  // the quote of the literal being copied, if any
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote != '\0') {
      // A doubled quote inside a literal closes and reopens it: same result.
      if (c == quote) quote = '\0';
      text += c;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      text += c;
    } else if (c == ':') {
      if (i + 1 < sql.size() && sql[i + 1] == ':') {
        text += ':';
        ++i;
        continue;
      }
      size_t end = i + 1;
      while (end < sql.size() && IsNameChar(sql[end])) ++end;
      if (end == i + 1) {
        text += ':';
        continue;
      }
      names.emplace_back(sql.substr(i + 1, end - i - 1));
      text += '?';
      i = end - 1;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace meridian::platform
