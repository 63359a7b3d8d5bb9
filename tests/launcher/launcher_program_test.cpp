// The launcher executable end to end, in a temporary folder with stand-ins for
// the programs it starts.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

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

// A list over either bound is a failed download: it changes nothing, and the
// reader starts at once, long before the download's time bound. One at the
// bounds is taken.
TEST_F(LauncherProgram, ListsOverTheBoundsChangeNothing) {
  if (!private_network_) GTEST_SKIP() << "no private network namespace";
  MakeCatalogue(app_ + "/Corvane.mdb");
  folder_.Write("메리디안 app/Update_Contents.txt", "A.zip=1*x\nC.zip=1*x\n");
  const size_t mib = 1024 * 1024;
  std::string lines;
  for (int i = 0; i < 10000; ++i) lines += i % 2 == 0 ? "A.zip=2*x\n" : "C.zip=2*x\n";
  const struct {
    const char* name;
    std::string list;
    const char* flags;
  } cases[] = {
      {"bytes over the bound", "A.zip=2*" + std::string(mib - 8, 'x') + "\n", kUnchangedFlags},
      {"lines over the bound", lines + "B.zip=2*x\n", kUnchangedFlags},
      {"lines at the bound", lines, "A|1\nB|1\nC|1\n"},
  };
  for (const auto& c : cases) {
    TContentServer server(testing::sbAnswer, OkReply(c.list), 9000);
    const auto start = std::chrono::steady_clock::now();
    const TProgramRun run = RunLauncher();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(16)) << c.name;
    EXPECT_EQ(ReaderStarted(), run.out) << c.name;
    EXPECT_EQ("", run.err) << c.name;
    EXPECT_EQ(c.flags, Flags()) << c.name;
  }
}

// The launcher killed at seeded moments while it checks a catalogue of 2,000
// modules: each time the catalogue is sound, every flag holds its old or its
// new value, and the reader can open it.
TEST_F(LauncherProgram, KilledDuringTheUpdateCheckLeavesASoundCatalogue) {
  if (!private_network_) GTEST_SKIP() << "no private network namespace";
  constexpr int kModules = 2000;
  constexpr int kKills = 50;
  // Module Mnnnn starts with the flag n % 2; the server offers a new version
  // of every third module, so some flags rise, some fall, some stay.
  std::string sql = "CREATE TABLE tblConfig(fAppName TEXT, fVersion BOOLEAN, fTitle TEXT);"
                    "INSERT INTO tblConfig VALUES";
  std::string local_list;
  std::string server_list;
  std::vector<std::string> old_rows;
  std::vector<std::string> new_rows;
  for (int i = 0; i < kModules; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "M%04d", i);
    sql += std::string(i == 0 ? "" : ",") + "('" + name + "', " + std::to_string(i % 2) + ", 'Title')";
    local_list += std::string(name) + ".zip=1*x\n";
    server_list += std::string(name) + ".zip=" + (i % 3 == 0 ? "2" : "1") + "*x\n";
    old_rows.push_back(std::string(name) + "|" + std::to_string(i % 2));
    new_rows.push_back(std::string(name) + "|" + (i % 3 == 0 ? "1" : "0"));
  }
  const std::string original = folder_.Path() + "/original.mdb";
  testing::MakeDatabase(original, "7341", sql + ";");
  folder_.Write("메리디안 app/Update_Contents.txt", local_list);
  TContentServer server(testing::sbAnswer, OkReply(server_list), 9000);
  const std::string catalogue = app_ + "/Corvane.mdb";
  const std::vector<std::pair<std::string, const char*>> environment = {
      {"MERIDIAN_REGISTRY_FILE", "/nonexistent/registry.ini"}, {"DISPLAY", nullptr}, {"WAYLAND_DISPLAY", nullptr}};

  // The reader leaves a mark, which tells when the check has ended.
  const std::string reader_mark = app_ + "/Veritome2010.exe.started";
  folder_.Write("메리디안 app/Veritome2010.exe", "#!/bin/sh\n: > \"$0.started\"\n", true);

  // Starts the launcher on a fresh copy of the catalogue and returns once the
  // server has its request, that is once the check has begun.
  const auto start_check = [&](std::optional<testing::TBackgroundProgram>& launcher) {
    std::filesystem::remove(reader_mark);
    std::filesystem::remove(catalogue + "-journal");
    std::filesystem::copy_file(original, catalogue, std::filesystem::copy_options::overwrite_existing);
    const size_t before = server.Requests().size();
    launcher.emplace(app_ + "/meridian", elsewhere_, environment);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (server.Requests().size() == before && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return server.Requests().size() > before;
  };
  // The engine's integrity verdict, then the rows, read as the reader opens
  // the catalogue: for writing, which first undoes a half-made commit.
  const auto verdict_and_rows = [&] {
    std::vector<std::string> result;
    std::istringstream text(Query(catalogue, "7341",
                                  "PRAGMA integrity_check; SELECT fAppName, fVersion FROM tblConfig ORDER BY 1", true));
    for (std::string line; std::getline(text, line);) result.push_back(line);
    return result;
  };
  const auto sound = [](std::vector<std::string> rows) {
    rows.insert(rows.begin(), "ok");
    return rows;
  };

  // One whole check measures how long it lasts, from the request to the
  // reader's start; the kills fall at seeded moments within that time.
  std::optional<testing::TBackgroundProgram> launcher;
  ASSERT_TRUE(start_check(launcher));
  const auto begun = std::chrono::steady_clock::now();
  const auto give_up = begun + std::chrono::seconds(60);
  while (!rtl::FileExists(reader_mark) && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begun);
  ASSERT_EQ(0, launcher->Wait());
  ASSERT_EQ(sound(new_rows), verdict_and_rows());

  std::mt19937 random(20240917);
  std::uniform_int_distribution<int64_t> moment(0, duration.count());
  int killed_in_check = 0;
  int left_old = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    ASSERT_TRUE(start_check(launcher)) << kill;
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    launcher->Kill();
    launcher->Wait();
    if (!rtl::FileExists(reader_mark)) ++killed_in_check;
    const std::vector<std::string> now = verdict_and_rows();
    if (now.size() > 1 && now[1] == old_rows[0]) ++left_old;
    ASSERT_EQ(old_rows.size() + 1, now.size()) << kill << ": " << now.front();
    ASSERT_EQ("ok", now.front()) << kill;
    for (size_t i = 0; i < old_rows.size(); ++i) {
      ASSERT_TRUE(now[i + 1] == old_rows[i] || now[i + 1] == new_rows[i]) << kill << ": " << now[i + 1];
    }
  }
  // Most moments fall inside the check rather than after its end.
  EXPECT_GE(killed_in_check, kKills / 4);
  RecordProperty("killed_in_check", killed_in_check);
  RecordProperty("left_old", left_old);

  // After the last kill the launcher finds the catalogue as usual.
  folder_.Write("메리디안 app/Veritome2010.exe", Stand_in("reader"), true);
  const TProgramRun run = RunLauncher();
  EXPECT_EQ(ReaderStarted(), run.out);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(sound(new_rows), verdict_and_rows());
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
