// The process-wide registry of authentication schemes by name. "Basic" is
// registered before the first look-up.
#pragma once

#include <string_view>

#include "auth/authentication.h"

namespace meridian::net {

// Adds `scheme` under `name`. Throws ENetAlreadyRegisteredAuthenticationMethod
// when the name is taken (letter case ignored); the registry is then unchanged.
// Thread-safe.
void RegisterAuthScheme(std::string_view name, TNetAuthenticationClass scheme);

// The scheme registered under `name` (letter case ignored), or nullptr; also
// nullptr when the scheme says it cannot work in this process.
// Thread-safe.
TNetAuthenticationClass FindAuthScheme(std::string_view name);

}  // namespace meridian::net
