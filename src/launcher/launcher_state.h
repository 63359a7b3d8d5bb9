// The launcher-wide state: one instance per process, filled by the form's
// order of work and released at exit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "launcher/file_version.h"

namespace meridian::launcher {

// Folder of the launcher's own executable, ending in its folder separator.
extern std::string AppFolder;
// File name of the update list.
extern std::string UpdateListName;
// Entries of the downloaded update list, one per line.
extern std::vector<TFileVersion> ServerVersions;
// Entries of the local copy of the update list, one per line.
extern std::vector<TFileVersion> LocalVersions;

// `path` up to and including its last folder separator ("/" on POSIX, "\\" or
// ":" on Windows); empty when it has none. Double-byte aware: a byte that is
// the second byte of a double-byte character does not count as a separator.
std::string ExtractAppFolder(std::string_view path);

// The application title of the executable at `path`: its file name up to the
// first ".", the first character in upper case and every later one in lower
// case ("/opt/x/meridian" gives "Meridian"). Only ASCII letters change case,
// and never the second byte of a double-byte character.
std::string ApplicationTitle(std::string_view path);

}  // namespace meridian::launcher
