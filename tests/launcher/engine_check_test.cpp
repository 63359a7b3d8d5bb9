#include "launcher/engine_check.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/database_engine.h"
#include "platform/scratch_folder.h"

namespace meridian::launcher {
namespace {

using testing::TCurrentFolderChange;
using testing::TEnvironmentChange;
using testing::TScratchFolder;

constexpr char kEngine[] = "libsqlcipher.so.0";

// Puts a stand-in engine library (or, for "folder", a folder of the engine's
// name) into `folder`.
void PlaceEngine(const std::string& folder, const std::string& kind) {
  const std::string target = folder + "/" + kEngine;
  if (kind == "folder") {
    std::filesystem::create_directories(target);
  } else if (kind == "ready") {
    std::filesystem::copy_file(FAKE_ENGINE_READY, target);
  } else if (kind == "refusing") {
    std::filesystem::copy_file(FAKE_ENGINE_REFUSING, target);
  } else if (kind == "no entry") {
    std::filesystem::copy_file(FAKE_ENGINE_NO_ENTRY, target);
  }
}

TEST(LoadDatabaseEngine, CurrentFolderThenRegistryFoldersThenTheLoaderSearch) {
  struct Case {
    std::string current;     // what the current folder holds
    std::string registered;  // what the second registered folder holds
    std::string loaded;      // the library loaded: "current", "registered" or the bare name
  };
  const Case cases[] = {
      {"ready", "ready", "current"},
      {"", "ready", "registered"},
      {"folder", "ready", "registered"},
      {"", "", kEngine},
      {"", "folder", kEngine},
  };
  for (const Case& c : cases) {
    TScratchFolder folder;
    const std::string current = folder.Folder("current");
    const std::string registered = folder.Folder("registered");
    PlaceEngine(current, c.current);
    PlaceEngine(registered, c.registered);
    const std::string registry = folder.Write(
        "registry.ini", "[HKEY_LOCAL_MACHINE\\Software\\Borland\\Database Engine]\nDLLPATH=" + folder.Path() +
                            "/absent; " + registered + "/\n");
    TEnvironmentChange store("MERIDIAN_REGISTRY_FILE", registry.c_str());
    TCurrentFolderChange in(current);

    const std::unique_ptr<platform::TLibrary> library = LoadDatabaseEngine();
    ASSERT_NE(nullptr, library) << c.current << " / " << c.registered;
    const std::string expected = c.loaded == "current"      ? current + "/" + kEngine
                                 : c.loaded == "registered" ? registered + "/" + kEngine
                                                            : c.loaded;
    EXPECT_EQ(expected, library->Name()) << c.current << " / " << c.registered;
  }
}

TEST(DatabaseEngineReady, FailsOnARefusalOrAMissingEntry) {
  struct Case {
    std::string current;
    std::string registered;
  };
  // The stand-ins stop the search: the real engine behind them is not tried.
  const Case cases[] = {{"refusing", ""}, {"no entry", ""}, {"", "refusing"}, {"refusing", "ready"}};
  for (const Case& c : cases) {
    TScratchFolder folder;
    const std::string current = folder.Folder("current");
    const std::string registered = folder.Folder("registered");
    PlaceEngine(current, c.current);
    PlaceEngine(registered, c.registered);
    const std::string registry = folder.Write(
        "registry.ini", "[HKEY_LOCAL_MACHINE\\Software\\Borland\\Database Engine]\nDLLPATH=" + registered + "\n");
    TEnvironmentChange store("MERIDIAN_REGISTRY_FILE", registry.c_str());
    TCurrentFolderChange in(current);
    EXPECT_FALSE(DatabaseEngineReady()) << c.current << " / " << c.registered;
  }
}

TEST(DatabaseEngineReady, TheRealEngineStaysLoadedForTheCatalogue) {
  TEnvironmentChange store("MERIDIAN_REGISTRY_FILE", "/nonexistent/registry.ini");
  ASSERT_TRUE(DatabaseEngineReady());
  ASSERT_NE(nullptr, platform::DatabaseEngine());
  EXPECT_NE(nullptr, platform::DatabaseEngine()->Symbol("sqlite3_key"));
  EXPECT_TRUE(DatabaseEngineReady());  // a second check keeps the first engine
}

}  // namespace
}  // namespace meridian::launcher
