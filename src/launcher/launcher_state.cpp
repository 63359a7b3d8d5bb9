#include "launcher/launcher_state.h"

#include "platform/process.h"
#include "rtl/code_page.h"
#include "rtl/text.h"

namespace meridian::launcher {

std::string AppFolder;
std::string UpdateListName;
std::vector<TFileVersion> ServerVersions;
std::vector<TFileVersion> LocalVersions;

namespace {

// Length of the character that starts at `i`: 2 for a lead byte followed by
// its trail byte, else 1.
size_t CharLength(std::string_view text, size_t i) {
  return (rtl::IsLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
}

// 0-based index just past the last folder separator of `text`, 0 when there
// is none.
size_t AfterLastSeparator(std::string_view text) {
  size_t after = 0;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (platform::IsFolderSeparator(text[i])) after = i + 1;
  }
  return after;
}

}  // namespace

std::string ExtractAppFolder(std::string_view path) {
  return std::string(path.substr(0, AfterLastSeparator(path)));
}

std::string ApplicationTitle(std::string_view path) {
  std::string_view name = path.substr(AfterLastSeparator(path));
  if (const size_t dot = rtl::FirstOccurrence(".", name)) name = name.substr(0, dot - 1);
  std::string title(name);
  for (size_t i = 0; i < title.size();) {
    const size_t length = CharLength(title, i);
    if (length == 1) title[i] = i == 0 ? rtl::UpperChar(title[i]) : rtl::LowerChar(title[i]);
    i += length;
  }
  return title;
}

}  // namespace meridian::launcher
