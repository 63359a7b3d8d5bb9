// Reading an update list: its text cut into lines, each line into an entry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "launcher/file_version.h"

namespace meridian::launcher {

// The lines of an update list's text, without their breaks. A line ends at a
// line feed, a carriage return, or a carriage return followed by a line feed
// (one break). A break at the very end starts no further line; empty lines
// inside the text are lines. The text ends at its first zero byte. Bytes are
// taken as they are: no character set or byte-order mark is interpreted.
std::vector<std::string> SplitListLines(std::string_view text);

// The number of lines SplitListLines gives for `text`, counted without
// making them.
size_t CountListLines(std::string_view text);

// One entry per line of `text` (SplitListLines), element i parsed from line i
// by ParseVersionLine. Never fails on the text's content.
std::vector<TFileVersion> ParseVersionList(std::string_view text);

// The whole content of the local update list `file_name`, opened for reading
// only. Throws EFOpenError when the file cannot be opened and EReadError when
// it cannot be read to its end.
std::string ReadListFile(const std::string& file_name);

}  // namespace meridian::launcher
