#include "launcher/engine_check.h"

#include <cstdint>
#include <string>

#include "launcher/constants.h"
#include "platform/database_engine.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "rtl/streams.h"
#include "rtl/text.h"

namespace meridian::launcher {

namespace {

std::unique_ptr<platform::TLibrary> LoadIfPresent(const std::string& folder, const std::string& name) {
  if (folder.empty()) return nullptr;
  std::string path = folder;
  if (!platform::IsFolderSeparator(path.back())) path += platform::FolderSeparator();
  path += name;
  return rtl::FileExists(path) ? platform::TLibrary::Load(path) : nullptr;
}

}  // namespace

std::unique_ptr<platform::TLibrary> LoadDatabaseEngine() {
  const std::string name = platform::DatabaseEngineLibraryName();

  if (auto library = LoadIfPresent(platform::CurrentFolder(), name)) return library;

  std::string folders;
  if (platform::ReadRegistryValue(platform::rhLocalMachine, kEngineRegistryKey, kEngineRegistryValue, folders)) {
    while (!folders.empty()) {
      if (auto library = LoadIfPresent(rtl::Trim(rtl::Fetch(folders, ";")), name)) return library;
    }
  }

  return platform::TLibrary::Load(name);
}

bool DatabaseEngineReady() {
  std::unique_ptr<platform::TLibrary> library = LoadDatabaseEngine();
  if (library == nullptr) return false;
  int32_t answer = -1;
  if (!platform::InitialiseDatabaseEngine(*library, answer) || answer != 0) return false;
  platform::AdoptDatabaseEngine(std::move(library));
  return true;
}

}  // namespace meridian::launcher
