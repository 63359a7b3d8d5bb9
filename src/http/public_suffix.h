// Public suffixes: names under which anyone may register a domain (".com",
// ".co.uk"). A cookie must not name one as its domain, or it would go to
// every site beneath it.
#pragma once

#include <string_view>

namespace meridian::net {

// Whether `domain` (letter case ignored, one leading "." allowed) is a public
// suffix. Uses the public suffix list when the build has it and the library
// can be loaded (on the first call), and otherwise DomainHasNoInnerDot.
bool IsPublicSuffix(std::string_view domain);

// Whether IsPublicSuffix consults the public suffix list: the build has it
// and a list could be loaded.
bool PublicSuffixListInUse();

// The rule without a suffix list: true for a domain with no "." between two
// of its characters ("com", ".com", "com."), so that at least a whole
// top-level domain is refused.
bool DomainHasNoInnerDot(std::string_view domain);

}  // namespace meridian::net
