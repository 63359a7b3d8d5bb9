// Conversions between the launcher's 8-bit texts, in the system's ANSI code
// page, and the UTF-16 texts of the system's wide ("W") calls.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace meridian::platform {

// `text` in the ANSI code page as UTF-16. Bytes that the code page does not
// map become the system's default character.
inline std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
  return wide;
}

// `text` in UTF-16 as ANSI code page bytes; characters outside the code page
// become its default character.
inline std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string ansi(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), length, nullptr, nullptr);
  return ansi;
}

}  // namespace meridian::platform
