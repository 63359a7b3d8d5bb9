// Entries of an update list: one line per content module, "file=version*note".
#pragma once

#include <string>
#include <string_view>

namespace meridian::launcher {

// One entry of an update list. Versions are opaque texts: never split into
// numbers or ordered, only compared for equality.
struct TFileVersion {
  std::string FileName;     // text before the first "=": the module's package file
  std::string VersionText;  // text between the first "=" and the first "*"
  std::string Note;         // text after the first "*"; kept, not used
};

// Cuts one line (without its line break) into an entry at its first "=" and
// its first "*" byte, whatever the code page. Never fails: a line without "*"
// has an empty VersionText and the whole line as its Note; a line without "="
// has an empty FileName.
TFileVersion ParseVersionLine(std::string_view line);

// The name under which the catalogue knows the module of `file_name`: every
// ".zip" removed, searching left to right without overlaps, with exact case
// ("A.zipper.zip" gives "Aper"). Double-byte aware: a match never starts on the
// second byte of a double-byte character.
std::string ModuleNameOf(std::string_view file_name);

// Two entries denote the same module when their file names are the same bytes.
inline bool SameModule(const TFileVersion& a, const TFileVersion& b) { return a.FileName == b.FileName; }

// For the same module, the versions differ when their texts are not the same
// bytes: "1.10" and "1.9" differ, and so do "1.0" and "1.0 ".
inline bool VersionsDiffer(const TFileVersion& a, const TFileVersion& b) {
  return a.VersionText != b.VersionText;
}

}  // namespace meridian::launcher
