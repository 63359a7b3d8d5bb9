#include "launcher/engine_check.h"

#include <filesystem>
#include <optional>

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

// A current folder and a registered engine folder, each holding what a case
// asks for, with the current folder entered and the registry naming a missing
// folder and then the registered one (written with a trailing "/").
class TEngineSetup {
 public:
  TEngineSetup(const std::string& in_current, const std::string& in_registered)
      : current_(folder_.Folder("current")), registered_(folder_.Folder("registered")) {
    PlaceEngine(current_, in_current);
    PlaceEngine(registered_, in_registered);
    registry_file_ = folder_.Write("registry.ini",
                                   "[HKEY_LOCAL_MACHINE\\Software\\Borland\\Database Engine]\n"
                                   "DLLPATH=" + folder_.Path() + "/absent; " + registered_ + "/\n");
    store_.emplace("MERIDIAN_REGISTRY_FILE", registry_file_.c_str());
    in_.emplace(current_);
  }

  const std::string& Current() const { return current_; }
  const std::string& Registered() const { return registered_; }

 private:
  TScratchFolder folder_;
  std::string current_;
  std::string registered_;
  std::string registry_file_;
  std::optional<TEnvironmentChange> store_;
  std::optional<TCurrentFolderChange> in_;
};

TEST(LoadDatabaseEngine, CurrentFolderThenRegistryFoldersThenTheLoaderSearch) {
  struct Case {
    std::string current;     // what the current folder holds
    std::string registered;  // what the registered folder holds
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
    TEngineSetup setup(c.current, c.registered);
    const std::unique_ptr<platform::TLibrary> library = LoadDatabaseEngine();
    ASSERT_NE(nullptr, library) << c.current << " / " << c.registered;
    const std::string expected = c.loaded == "current"      ? setup.Current() + "/" + kEngine
                                 : c.loaded == "registered" ? setup.Registered() + "/" + kEngine
                                                            : c.loaded;
    EXPECT_EQ(expected, library->Name()) << c.current << " / " << c.registered;
  }
}

TEST(DatabaseEngineReady, FailsOnARefusalOrAMissingEntry) {
  // The stand-ins stop the search: the real engine behind them is not tried.
  const std::pair<std::string, std::string> cases[] = {
      {"refusing", ""}, {"no entry", ""}, {"", "refusing"}, {"refusing", "ready"}};
  for (const auto& [current, registered] : cases) {
    TEngineSetup setup(current, registered);
    EXPECT_FALSE(DatabaseEngineReady()) << current << " / " << registered;
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
