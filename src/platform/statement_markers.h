// The ":name" parameter markers of a catalogue statement.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace meridian::platform {

// The statement `sql` with each ":name" marker (a colon followed by letters,
// digits and "_") replaced by the positional marker "?", and the marked names
// in `names`, in order of appearance (a name marked twice appears twice).
// Colons inside quoted literals ('...' or "...") are text, and so is a lone
// colon not followed by a name; "::" stands for one plain colon.
std::string PositionalStatement(std::string_view sql, std::vector<std::string>& names);

}  // namespace meridian::platform
