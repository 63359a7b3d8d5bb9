// Registry values through the system's registry, in the default view of the
// process (a 32-bit launcher sees the 32-bit view, as the engine's installer
// wrote it).
#include "platform/registry.h"

#include <windows.h>

namespace meridian::platform {

namespace {

// A value the launcher reads is a folder list; anything longer is not one,
// and a value that keeps growing between the size query and the read must
// not make the lookup loop.
constexpr DWORD kMaxValueBytes = 64 * 1024;

HKEY HiveKey(TRegistryHive hive) { return hive == rhLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

}  // namespace

bool ReadRegistryValue(TRegistryHive hive, std::string_view key, std::string_view name,
                       std::string& value) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HiveKey(hive), std::string(key).c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
    return false;
  }
  const std::string value_name(name);
  DWORD type = 0;
  DWORD size = 0;
  bool found = RegQueryValueExA(handle, value_name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
               (type == REG_SZ || type == REG_EXPAND_SZ) && size <= kMaxValueBytes;
  std::string data;
  if (found) {
    data.resize(size);
    found = RegQueryValueExA(handle, value_name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ) && size <= data.size();
  }
  RegCloseKey(handle);
  if (!found) return false;
  // A stored string need not end in a zero, or may hold several: the value
  // is what comes before the first.
  data.resize(size);
  const size_t zero = data.find('\0');
  if (zero != std::string::npos) data.resize(zero);
  value = std::move(data);
  return true;
}

}  // namespace meridian::platform
