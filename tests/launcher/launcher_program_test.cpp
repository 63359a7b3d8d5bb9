// The launcher executable end to end, in a temporary folder with stand-ins for
// the programs it starts.
#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "catalogue_file.h"
#include "content_server.h"
#include "private_network.h"
#include "platform/scratch_folder.h"
#include "rtl/streams.h"
#include "run_program.h"

namespace meridian::launcher {
namespace {

using testing::MakeCatalogue;
using testing::OkReply;
using testing::Query;
using testing::RunProgram;
using testing::TContentServer;
using testing::TProgramRun;
using testing::TScratchFolder;

// The catalogue's rows as MakeCatalogue makes them.
constexpr char kUnchangedFlags[] = "A|0\nB|1\nC|0\n";
// The user the launcher runs as where file permissions must hold.
constexpr int kNobody = 65534;

// A stand-in that prints its tag, how it was started and its current folder.
std::string Stand_in(const std::string& tag) {
  return "#!/bin/sh\necho \"" + tag + "|$0|$*|$(pwd)\"\n";
}

class LauncherProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    // The launcher asks 127.0.0.1:9000: in a network of this test's own the
    // port is free for the test's server and nothing else answers.
    private_network_ = testing::EnterPrivateNetwork();
    // Blanks and characters outside ASCII in the launcher's folder.
    InstallLauncher("메리디안 app");
    elsewhere_ = folder_.Folder("elsewhere");
    // Found only if the launcher's own folder were not searched first.
    folder_.Write("elsewhere/Veritome2010.exe", Stand_in("wrong reader"), true);
    folder_.Write("elsewhere/Restart.exe", Stand_in("wrong restart"), true);
  }

  // Puts the launcher and the stand-ins for the programs it starts into the
  // folder `name`, which becomes the launcher's folder.
  void InstallLauncher(const std::string& name) {
    app_ = folder_.Folder(name);
    std::filesystem::copy_file(MERIDIAN_LAUNCHER, app_ + "/meridian");
    folder_.Write(name + "/Veritome2010.exe", Stand_in("reader"), true);
    folder_.Write(name + "/Restart.exe", Stand_in("restart"), true);
  }

  TProgramRun RunLauncher(int run_as = -1) {
    return RunProgram(app_ + "/meridian", elsewhere_,
                      {{"MERIDIAN_REGISTRY_FILE", "/nonexistent/registry.ini"},
                       {"DISPLAY", nullptr},
                       {"WAYLAND_DISPLAY", nullptr}},
                      run_as);
  }

  std::string Flags() const {
    return Query(app_ + "/Corvane.mdb", "7341", "SELECT fAppName, fVersion FROM tblConfig ORDER BY 1");
  }
  std::string ReaderStarted() const { return "reader|" + app_ + "/Veritome2010.exe|5757|" + elsewhere_ + "\n"; }

  // Runs the launcher against a content server on port 9000 that behaves as
  // `behaviour`: the reader starts within the download's bound, and the
  // catalogue stays as it was.
  void ExpectReaderStartedWithin15Seconds(testing::TServerBehaviour behaviour) {
    if (!private_network_) GTEST_SKIP() << "no private network namespace";
    MakeCatalogue(app_ + "/Corvane.mdb");
    folder_.Write("메리디안 app/Update_Contents.txt", "A.zip=1*x\n");
    TContentServer server(behaviour, "", 9000);
    const auto start = std::chrono::steady_clock::now();
    const TProgramRun run = RunLauncher();
    // The download ends after 15 s; the margin is for a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(ReaderStarted(), run.out);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(kUnchangedFlags, Flags());
  }

  bool private_network_ = false;

  TScratchFolder folder_;
  std::string app_;
  std::string elsewhere_;
};

TEST_F(LauncherProgram, StartsTheReaderFromItsOwnFolderWhateverTheCurrentFolder) {
  MakeCatalogue(app_ + "/Corvane.mdb");
  const TProgramRun run = RunLauncher();
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ(ReaderStarted(), run.out);
  EXPECT_EQ("", run.err);
  // No content server: the download failed and changed nothing.
  EXPECT_EQ(kUnchangedFlags, Flags());
}

TEST_F(LauncherProgram, FlagsTheModulesThatTheServerOffersInAnotherVersion) {
  if (!private_network_) GTEST_SKIP() << "no private network namespace";
  MakeCatalogue(app_ + "/Corvane.mdb");
  folder_.Write("메리디안 app/Update_Contents.txt", "A.zip=1*x\r\nB.zip=1*x\r\nC.zip=1*x\r\n");
  // A has a new version, B the same; C is not on the server and keeps its flag.
  // The reader also shows its signal settings: the download ignored SIGPIPE
  // in the launcher, which the reader must not inherit.
  folder_.Write("메리디안 app/Veritome2010.exe",
                Stand_in("reader") + "exec grep -E '^Sig(Blk|Ign)' /proc/self/status\n", true);
  TContentServer server(testing::sbAnswer, OkReply("A.zip=2*x\nB.zip=1*x\nD.zip=1*x\n"), 9000);
  const TProgramRun run = RunLauncher();
  EXPECT_EQ(ReaderStarted() + "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n", run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ("A|1\nB|0\nC|0\n", Flags());
  EXPECT_EQ(std::vector<std::string>{"GET /Update/Contents/Update_Contents.txt HTTP/1.1"}, server.Requests());
}

TEST_F(LauncherProgram, FolderNamesThatLookLikeConnectionStringSyntaxStillFindTheCatalogue) {
  if (!private_network_) GTEST_SKIP() << "no private network namespace";
  for (const std::string name : {"a;b app", "say \"hi\"; it's app", "x;Data Source=nowhere.mdb;y"}) {
    InstallLauncher(name);
    MakeCatalogue(app_ + "/Corvane.mdb");
    folder_.Write(name + "/Update_Contents.txt", "A.zip=1*x\n");
    TContentServer server(testing::sbAnswer, OkReply("A.zip=2*x\n"), 9000);
    const TProgramRun run = RunLauncher();
    EXPECT_EQ(ReaderStarted(), run.out) << name;
    EXPECT_EQ("", run.err) << name;
    EXPECT_EQ("A|1\nB|1\nC|0\n", Flags()) << name;
  }
}

TEST_F(LauncherProgram, SilentServerStillStartsTheReader) { ExpectReaderStartedWithin15Seconds(testing::sbSilent); }

TEST_F(LauncherProgram, DrippingServerStillStartsTheReader) { ExpectReaderStartedWithin15Seconds(testing::sbDrip); }

TEST_F(LauncherProgram, UnansweredConnectStillStartsTheReader) {
  ExpectReaderStartedWithin15Seconds(testing::sbNoAccept);
}

TEST_F(LauncherProgram, UnreadableLocalListGivesOneMessageAndNoReader) {
  if (!private_network_) GTEST_SKIP() << "no private network namespace";
  MakeCatalogue(app_ + "/Corvane.mdb");
  const std::string list = folder_.Write("메리디안 app/Update_Contents.txt", "A.zip=1*x\n");
  // Run as an unprivileged user, for whom a file without permissions is
  // unreadable; everything else stays open to it.
  using std::filesystem::perms;
  std::filesystem::permissions(folder_.Path(), perms::all);
  std::filesystem::permissions(app_, perms::all);
  std::filesystem::permissions(app_ + "/Corvane.mdb", perms::all);
  std::filesystem::permissions(app_ + "/Veritome2010.exe", perms::all);
  std::filesystem::permissions(list, perms::none);
  TContentServer server(testing::sbAnswer, OkReply("A.zip=2*x\n"), 9000);
  const TProgramRun run = RunLauncher(kNobody);
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ("", run.out);
  EXPECT_EQ("Meridian: Cannot open file \"" + list + "\". Permission denied.\n", run.err);
  EXPECT_EQ(kUnchangedFlags, Flags());
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
