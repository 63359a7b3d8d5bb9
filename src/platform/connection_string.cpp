#include "platform/connection_string.h"

#include "platform/ascii_text.h"

namespace meridian::platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool ConnectionStringValue(std::string_view connection_string, std::string_view name,
                           std::string& value) {
  bool found = false;
  size_t at = 0;
  const size_t end = connection_string.size();
  while (at < end) {
    const size_t equals = connection_string.find('=', at);
    const size_t semicolon = connection_string.find(';', at);
    if (equals == std::string_view::npos || semicolon < equals) {
      // A piece without "=" names nothing; skip it.
      if (semicolon == std::string_view::npos) break;
      at = semicolon + 1;
      continue;
    }
    const std::string_view key = TrimBlanks(connection_string.substr(at, equals - at));
    at = equals + 1;
    while (at < end && IsBlank(connection_string[at])) ++at;

    std::string text;
    if (at < end && (connection_string[at] == '"' || connection_string[at] == '\'')) {
      const char quote = connection_string[at++];
      while (at < end) {
        if (connection_string[at] == quote) {
          if (at + 1 < end && connection_string[at + 1] == quote) {
            text += quote;
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        text += connection_string[at++];
      }
      // Anything between the closing quote and the next ";" is ignored.
      const size_t next = connection_string.find(';', at);
      at = next == std::string_view::npos ? end : next + 1;
    } else {
      const size_t next = connection_string.find(';', at);
      const size_t stop = next == std::string_view::npos ? end : next;
      text = std::string(TrimBlanks(connection_string.substr(at, stop - at)));
      at = next == std::string_view::npos ? end : next + 1;
    }
    if (SameAsciiText(key, TrimBlanks(name))) {
      value = std::move(text);
      found = true;
    }
  }
  return found;
}

}  // namespace meridian::platform
