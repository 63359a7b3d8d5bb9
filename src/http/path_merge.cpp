#include "http/path_merge.h"

#include "rtl/text.h"

namespace meridian::net {

std::string MergePath(const std::string& base, const std::string& path) {
  if (rtl::FirstOccurrence("/", path) == 1) return path;

  const bool keep_trailing = path.empty() || path.back() == '/';
  std::string walk = base;
  if (!walk.empty() && walk.back() != '/') walk += '/';
  walk += path;

  std::string result;
  result.reserve(walk.size());
  for (size_t i = 0; i < walk.size(); ++i) {
    const char c = walk[i];
    if (c == '/') {
      // A slash never doubles (the first one of the path always stands).
      if (i == 0 || result.empty() || result.back() != '/') result += '/';
    } else if (c == '.' && !result.empty() && result.back() == '/' && i + 1 < walk.size() &&
               walk[i + 1] == '.') {
      // ".." climbs one directory: drop the slash, then the segment before it.
      result.pop_back();
      while (!result.empty() && result.back() != '/') result.pop_back();
      ++i;
    } else {
      result += c;
    }
  }
  if (result != "/" && !result.empty() && result.back() == '/' && !keep_trailing) result.pop_back();
  return result;
}

}  // namespace meridian::net
