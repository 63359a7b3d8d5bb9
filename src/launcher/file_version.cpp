#include "launcher/file_version.h"

#include <cstdint>

#include "rtl/text.h"

namespace meridian::launcher {

namespace {

// The bytes of `text` from 1-based `start` on, at most `count` of them: a start
// below 1 counts as 1, a start past the end or a negative count gives empty
// text, and a count past the end stops there.
std::string Sub(std::string_view text, int64_t start, int64_t count) {
  const auto length = static_cast<int64_t>(text.size());
  if (start < 1) start = 1;
  if (start > length || count <= 0) return std::string();
  if (count > length - start + 1) count = length - start + 1;
  return std::string(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

// The 1-based position of the first byte `c` in `text`; 0 when there is none.
int64_t BytePosition(std::string_view text, char c) {
  const size_t at = text.find(c);
  return at == std::string_view::npos ? 0 : static_cast<int64_t>(at) + 1;
}

}  // namespace

TFileVersion ParseVersionLine(std::string_view line) {
  // The marks are found by plain byte search. No double-byte code page has
  // "=" or "*" as a trail byte, so only invalid text could tell the two
  // readings apart.
  const auto length = static_cast<int64_t>(line.size());
  const int64_t equals = BytePosition(line, '=');
  const int64_t asterisk = BytePosition(line, '*');
  TFileVersion entry;
  entry.FileName = Sub(line, 1, equals - 1);
  entry.VersionText = Sub(line, equals + 1, asterisk - equals - 1);
  entry.Note = Sub(line, asterisk + 1, length);
  return entry;
}

std::string ModuleNameOf(std::string_view file_name) {
  static constexpr std::string_view kExtension = ".zip";
  std::string name;
  name.reserve(file_name.size());
  while (const size_t at = rtl::FirstOccurrence(kExtension, file_name)) {
    name.append(file_name.substr(0, at - 1));
    file_name.remove_prefix(at - 1 + kExtension.size());
  }
  name.append(file_name);
  return name;
}

}  // namespace meridian::launcher
