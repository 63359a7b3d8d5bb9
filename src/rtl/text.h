// Text utilities over 8-bit texts in the process's code page. Positions given
// to and returned by the searches are 1-based, 0 meaning "not found", as the
// protocol layers count them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace meridian::rtl {

// printf-style formatting into a std::string, with the C99 conversions (%zu,
// %lld) everywhere: GCC checks against its own printf, not the system's.
#if defined(__GNUC__) && !defined(__clang__)
#define MERIDIAN_PRINTF_FORMAT gnu_printf
#else
#define MERIDIAN_PRINTF_FORMAT printf
#endif
std::string Format(const char* format, ...) __attribute__((format(MERIDIAN_PRINTF_FORMAT, 1, 2)));

// 1-based position of the first occurrence of `sub` in `text`, 0 when absent or
// when `sub` is empty. Double-byte aware: on a code page with lead bytes a match
// never starts on the second byte of a double-byte character.
size_t FirstOccurrence(std::string_view sub, std::string_view text);

// Splits `input` at the first occurrence of `delimiter` (case-sensitive, as
// FirstOccurrence finds it): returns the text before it and leaves only the text
// after the delimiter in `input`. Without the delimiter, returns the whole input
// and empties it.
std::string Fetch(std::string& input, std::string_view delimiter);
// Fetch on a view: the same split, with no text copied.
std::string_view FetchView(std::string_view& input, std::string_view delimiter);

// Scans candidate positions downward from min(start, size - sub.size() + 1) to 1
// and returns the first at which `text` holds `sub`, letters compared without
// regard to ASCII case; 0 when there is none. A start of -1 means the length of
// `text`.
size_t LastOccurrenceAtOrBefore(std::string_view sub, std::string_view text, int64_t start = -1);

// ASCII case mapping; other bytes are left as they are.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
inline char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
inline char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Remove bytes with codes up to that of the blank (control characters and blanks).
std::string Trim(std::string_view text);
// Trim without a copy: a view into `text`.
std::string_view TrimmedView(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Decimal (with optional sign and leading blanks) or hexadecimal ("$1F", "0x1F")
// text to number. Throws EConvertError "'%s' is not a valid integer value" when
// the text is no number or out of range.
int32_t StrToInt(std::string_view text);
int64_t StrToInt64(std::string_view text);
int32_t StrToIntDef(std::string_view text, int32_t fallback);
int64_t StrToInt64Def(std::string_view text, int64_t fallback);
// The parse behind the four above; false when the text is no number in range.
bool TryStrToInt64(std::string_view text, int64_t& value);

}  // namespace meridian::rtl
