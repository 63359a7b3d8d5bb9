// Connection strings of the form "Name=Value;Name=Value".
#pragma once

#include <string>
#include <string_view>

namespace meridian::platform {

// The value of the property `name` in `connection_string`, or false when the
// string has no such property. Properties are separated by ";"; names are
// compared without regard to ASCII case and blanks around them are ignored.
// A value enclosed in double or single quotes is taken without them, a doubled
// quote inside standing for one (so Password="" is present and empty);
// otherwise the value runs to the next ";" with surrounding blanks removed.
// When a name occurs twice, the last occurrence holds.
bool ConnectionStringValue(std::string_view connection_string, std::string_view name,
                           std::string& value);

}  // namespace meridian::platform
