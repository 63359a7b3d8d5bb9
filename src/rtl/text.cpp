#include "rtl/text.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

#include "rtl/code_page.h"
#include "rtl/exceptions.h"

namespace meridian::rtl {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (needed > 0) {
    out.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
  }
  va_end(args);
  return out;
}

size_t FirstOccurrence(std::string_view sub, std::string_view text) {
  if (sub.empty() || sub.size() > text.size()) return 0;
  if (!HasLeadBytes()) {
    const size_t at = sub.size() == 1 ? text.find(sub[0]) : text.find(sub);
    return at == std::string_view::npos ? 0 : at + 1;
  }
  const uint32_t cp = CodePage();
  const size_t last = text.size() - sub.size();
  for (size_t i = 0; i <= last;) {
    if (text.compare(i, sub.size(), sub) == 0) return i + 1;
    i += IsLeadByte(cp, static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return 0;
}

std::string Fetch(std::string& input, std::string_view delimiter) {
  std::string_view rest = input;
  const size_t before = FetchView(rest, delimiter).size();
  if (before == input.size()) {
    // No delimiter: the whole input goes, without a copy.
    std::string all = std::move(input);
    input.clear();
    return all;
  }
  std::string head = input.substr(0, before);
  input.erase(0, input.size() - rest.size());
  return head;
}

std::string_view FetchView(std::string_view& input, std::string_view delimiter) {
  const size_t at = FirstOccurrence(delimiter, input);
  const std::string_view before = at == 0 ? input : input.substr(0, at - 1);
  input = at == 0 ? std::string_view() : input.substr(at - 1 + delimiter.size());
  return before;
}

size_t LastOccurrenceAtOrBefore(std::string_view sub, std::string_view text, int64_t start) {
  const int64_t size = static_cast<int64_t>(text.size());
  const int64_t sub_size = static_cast<int64_t>(sub.size());
  if (start == -1) start = size;
  int64_t from = std::min(start, size - sub_size + 1);
  if (sub_size == 1 && UpperChar(sub[0]) == sub[0] && LowerChar(sub[0]) == sub[0]) {
    // A byte that is no letter matches only itself.
    if (from < 1) return 0;
    const size_t at = text.rfind(sub[0], static_cast<size_t>(from - 1));
    return at == std::string_view::npos ? 0 : at + 1;
  }
  for (int64_t i = from; i >= 1; --i) {
    bool match = true;
    for (int64_t k = 0; k < sub_size; ++k) {
      if (UpperChar(text[static_cast<size_t>(i - 1 + k)]) != UpperChar(sub[static_cast<size_t>(k)])) {
        match = false;
        break;
      }
    }
    if (match) return static_cast<size_t>(i);
  }
  return 0;
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;  // the usual case, at the speed of a byte compare
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  }
  return true;
}

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string TrimLeft(std::string_view text) {
  size_t b = 0;
  while (b < text.size() && IsBlank(text[b])) ++b;
  return std::string(text.substr(b));
}

std::string TrimRight(std::string_view text) {
  size_t e = text.size();
  while (e > 0 && IsBlank(text[e - 1])) --e;
  return std::string(text.substr(0, e));
}

std::string_view TrimmedView(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Trim(std::string_view text) { return std::string(TrimmedView(text)); }

bool TryStrToInt64(std::string_view text, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  // Accumulate as a negative number so that the minimum fits.
  const int64_t min = std::numeric_limits<int64_t>::min();
  int64_t acc = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    if (acc < (min + static_cast<int64_t>(digit)) / static_cast<int64_t>(base)) return false;
    acc = acc * static_cast<int64_t>(base) - static_cast<int64_t>(digit);
  }
  if (!negative) {
    if (acc == min) return false;
    acc = -acc;
  }
  value = acc;
  return true;
}

int64_t StrToInt64(std::string_view text) {
  int64_t value = 0;
  if (!TryStrToInt64(text, value)) {
    throw EConvertError(Format("'%.*s' is not a valid integer value", static_cast<int>(text.size()), text.data()));
  }
  return value;
}

int32_t StrToInt(std::string_view text) {
  int64_t value = 0;
  if (!TryStrToInt64(text, value) || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max()) {
    throw EConvertError(Format("'%.*s' is not a valid integer value", static_cast<int>(text.size()), text.data()));
  }
  return static_cast<int32_t>(value);
}

int64_t StrToInt64Def(std::string_view text, int64_t fallback) {
  int64_t value = 0;
  return TryStrToInt64(text, value) ? value : fallback;
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
  int64_t value = 0;
  if (!TryStrToInt64(text, value) || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max()) {
    return fallback;
  }
  return static_cast<int32_t>(value);
}

}  // namespace meridian::rtl
