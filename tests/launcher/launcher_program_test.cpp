// The launcher executable end to end, in a temporary folder with stand-ins for
// the programs it starts.
#include <filesystem>

#include <gtest/gtest.h>

#include "catalogue_file.h"
#include "platform/scratch_folder.h"
#include "rtl/streams.h"
#include "run_program.h"

namespace meridian::launcher {
namespace {

using testing::MakeCatalogue;
using testing::Query;
using testing::RunProgram;
using testing::TProgramRun;
using testing::TScratchFolder;

// A stand-in that prints its tag, how it was started and its current folder.
std::string Stand_in(const std::string& tag) {
  return "#!/bin/sh\necho \"" + tag + "|$0|$*|$(pwd)\"\n";
}

class LauncherProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    // Blanks and characters outside ASCII in the launcher's folder.
    app_ = folder_.Folder("메리디안 app");
    elsewhere_ = folder_.Folder("elsewhere");
    std::filesystem::copy_file(MERIDIAN_LAUNCHER, app_ + "/meridian");
    folder_.Write("메리디안 app/Veritome2010.exe", Stand_in("reader"), true);
    folder_.Write("메리디안 app/Restart.exe", Stand_in("restart"), true);
    // Found only if the launcher's own folder were not searched first.
    folder_.Write("elsewhere/Veritome2010.exe", Stand_in("wrong reader"), true);
    folder_.Write("elsewhere/Restart.exe", Stand_in("wrong restart"), true);
  }

  TProgramRun RunLauncher() {
    return RunProgram(app_ + "/meridian", elsewhere_,
                      {{"MERIDIAN_REGISTRY_FILE", "/nonexistent/registry.ini"},
                       {"DISPLAY", nullptr},
                       {"WAYLAND_DISPLAY", nullptr}});
  }

  TScratchFolder folder_;
  std::string app_;
  std::string elsewhere_;
};

TEST_F(LauncherProgram, StartsTheReaderFromItsOwnFolderWhateverTheCurrentFolder) {
  MakeCatalogue(app_ + "/Corvane.mdb");
  const TProgramRun run = RunLauncher();
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ("reader|" + app_ + "/Veritome2010.exe|5757|" + elsewhere_ + "\n", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ("A|0\nB|1\nC|0\n", Query(app_ + "/Corvane.mdb", "7341", "SELECT fAppName, fVersion FROM tblConfig ORDER BY 1"));
}

TEST_F(LauncherProgram, MissingCatalogueGivesOneMessageAndNoReader) {
  const TProgramRun run = RunLauncher();
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ("", run.out);
  EXPECT_EQ("Meridian: Could not find the catalogue file '" + app_ + "/Corvane.mdb'\n", run.err);
  EXPECT_FALSE(rtl::FileExists(app_ + "/Corvane.mdb"));
}

TEST_F(LauncherProgram, EngineNotReadyStartsRestartAndNothingElse) {
  // No catalogue: had the launcher gone on, it would have shown an error.
  for (const char* engine : {FAKE_ENGINE_REFUSING, FAKE_ENGINE_NO_ENTRY}) {
    const std::string fake = elsewhere_ + "/libsqlcipher.so.0";
    std::filesystem::remove(fake);
    std::filesystem::copy_file(engine, fake);
    const TProgramRun run = RunLauncher();
    EXPECT_EQ(0, run.exit_code) << engine;
    EXPECT_EQ("restart|" + app_ + "/Restart.exe||" + elsewhere_ + "\n", run.out) << engine;
    EXPECT_EQ("", run.err) << engine;
  }
}

}  // namespace
}  // namespace meridian::launcher
