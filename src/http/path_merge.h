// Resolving a request path against the directory of the previous request.
#pragma once

#include <string>

namespace meridian::net {

// Merges the directory path `path` into the base directory `base` ("/"
// delimited). A path that begins with "/" replaces the base. Otherwise the path
// is appended to the base, runs of slashes collapse to one and each ".." segment
// removes the segment before it; a single "." segment stays. A trailing "/" is
// kept when `path` is empty or ends with one, and "/" alone always stays.
// Example: base "/a/b/" with "../" gives "/a/"; with "d/" gives "/a/b/d/".
std::string MergePath(const std::string& base, const std::string& path);

}  // namespace meridian::net
