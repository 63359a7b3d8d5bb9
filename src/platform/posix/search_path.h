// The folders of the PATH environment variable.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace meridian::platform {

// The non-empty folders of PATH, in order.
inline std::vector<std::string> SearchPathFolders() {
  std::vector<std::string> folders;
  const char* path = std::getenv("PATH");
  if (path == nullptr) return folders;
  std::string_view rest = path;
  while (true) {
    const size_t colon = rest.find(':');
    const std::string_view folder = rest.substr(0, colon);
    if (!folder.empty()) folders.emplace_back(folder);
    if (colon == std::string_view::npos) return folders;
    rest.remove_prefix(colon + 1);
  }
}

}  // namespace meridian::platform
