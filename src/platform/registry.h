// The platform registry: read-only lookup of one value by hive, key and value
// name.
//
// On POSIX the registry is an INI-style text file. Its location is fixed when
// the system is built (MERIDIAN_REGISTRY_FILE in CMake); the environment
// variable MERIDIAN_REGISTRY_FILE, when set and not empty, names another file
// instead (used by tests and demos). Each key is a section whose header is the
// hive's name, a backslash and the key path; each value a "name=value" line:
//
//   [HKEY_LOCAL_MACHINE\Software\Vendor\Product]
//   DLLPATH=/opt/product/lib
//
// Hive, key and value names are compared without regard to ASCII case, as the
// Windows registry does. Blanks around names and values are ignored; lines
// starting with ";" or "#" are comments.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace meridian::platform {

enum TRegistryHive : uint8_t { rhLocalMachine, rhCurrentUser };

// Reads the value `name` of `key` under `hive` into `value`. False, with
// `value` untouched, when the store, the key or the value does not exist or
// cannot be read.
bool ReadRegistryValue(TRegistryHive hive, std::string_view key, std::string_view name,
                       std::string& value);

}  // namespace meridian::platform
