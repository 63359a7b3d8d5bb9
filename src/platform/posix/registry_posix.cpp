#include "platform/registry.h"

#include <cstdlib>
#include <fstream>

#include "platform/ascii_text.h"

#ifndef MERIDIAN_REGISTRY_FILE
#define MERIDIAN_REGISTRY_FILE "/etc/meridian/registry.ini"
#endif

namespace meridian::platform {

namespace {

// The file is ours, but a damaged or foreign file must not make the lookup
// read without end.
constexpr size_t kMaxLines = 100000;

std::string StoreFile() {
  const char* overridden = std::getenv("MERIDIAN_REGISTRY_FILE");
  if (overridden != nullptr && *overridden != '\0') return overridden;
  return MERIDIAN_REGISTRY_FILE;
}

const char* HiveName(TRegistryHive hive) {
  return hive == rhLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

}  // namespace

bool ReadRegistryValue(TRegistryHive hive, std::string_view key, std::string_view name,
                       std::string& value) {
  std::ifstream file(StoreFile());
  if (!file) return false;
  const std::string section = std::string(HiveName(hive)) + "\\" + std::string(TrimBlanks(key));

  bool in_section = false;
  std::string line;
  for (size_t count = 0; count < kMaxLines && std::getline(file, line); ++count) {
    const std::string_view text = TrimBlanks(line);
    if (text.empty() || text.front() == ';' || text.front() == '#') continue;
    if (text.front() == '[') {
      if (text.back() != ']') {
        in_section = false;
        continue;
      }
      in_section = SameAsciiText(TrimBlanks(text.substr(1, text.size() - 2)), section);
      continue;
    }
    if (!in_section) continue;
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    if (SameAsciiText(TrimBlanks(text.substr(0, equals)), TrimBlanks(name))) {
      value = std::string(TrimBlanks(text.substr(equals + 1)));
      return true;
    }
  }
  return false;
}

}  // namespace meridian::platform
