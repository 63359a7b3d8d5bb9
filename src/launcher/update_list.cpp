#include "launcher/update_list.h"

#include "rtl/streams.h"
#include "rtl/string_list.h"

namespace meridian::launcher {

std::vector<std::string> SplitListLines(std::string_view text) {
  rtl::TStringList lines;
  lines.SetText(text.substr(0, text.find('\0')));
  return lines.Lines();
}

size_t CountListLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  size_t count = 0;
  size_t start = 0;
  while (start < text.size()) {
    ++count;
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) break;
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return count;
}

std::vector<TFileVersion> ParseVersionList(std::string_view text) {
  const std::vector<std::string> lines = SplitListLines(text);
  std::vector<TFileVersion> entries(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) entries[i] = ParseVersionLine(lines[i]);
  return entries;
}

std::string ReadListFile(const std::string& file_name) {
  // Read-only access: whoever keeps the list up to date may still read it
  // beside the launcher.
  rtl::TFileStream file(file_name, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  std::string content(static_cast<size_t>(file.Size()), '\0');
  file.ReadBuffer(content.data(), static_cast<int64_t>(content.size()));
  return content;
}

}  // namespace meridian::launcher
