// Placeholder until the registry arrives: no value is ever found.
#include "platform/registry.h"

namespace meridian::platform {

bool ReadRegistryValue(TRegistryHive, std::string_view, std::string_view, std::string&) { return false; }

}  // namespace meridian::platform
