#include "launcher/form.h"

#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "catalogue_file.h"
#include "launcher/constants.h"
#include "launcher/engine_check.h"
#include "launcher/exceptions.h"
#include "launcher/launcher_state.h"
#include "platform/scratch_folder.h"

namespace meridian::launcher {
namespace {

using testing::MakeCatalogue;
using testing::MakeDatabase;
using testing::Query;
using testing::TEnvironmentChange;
using testing::TScratchFolder;

// The form with its platform operations recorded instead of performed.
class TRecordingForm : public TfrmMeridian {
 public:
  explicit TRecordingForm(std::string executable) : executable_(std::move(executable)) {}

  void CheckContentUpdates(const std::string& base_url) override {
    events.push_back("check " + base_url + State());
    if (on_check) on_check(*this);
  }

  std::vector<std::string> events;
  std::function<void(TRecordingForm&)> on_check;

 protected:
  std::string ExecutablePath() const override { return executable_; }
  void WinExec(const std::string& command_line) override { events.push_back("exec " + command_line + State()); }
  void ErrorBox(const std::string& text, const std::string& title) override {
    events.push_back("box " + title + ": " + text);
  }

 private:
  std::string State() { return ADOConnection2().Connected() ? " (catalogue open)" : " (catalogue closed)"; }

  std::string executable_;
};

class FormCreate : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(DatabaseEngineReady()); }
  void TearDown() override {
    AppFolder.clear();
    UpdateListName.clear();
  }

  std::string CatalogueFile() const { return folder_ / "Corvane.mdb"; }

  TScratchFolder folder_;
  TEnvironmentChange registry_{"MERIDIAN_REGISTRY_FILE", "/nonexistent/registry.ini"};
  TRecordingForm form_{folder_ / "meridian"};
};

TEST_F(FormCreate, ChecksForUpdatesThenStartsTheReaderThenClosesTheCatalogue) {
  MakeCatalogue(CatalogueFile());
  form_.AfterConstruction();
  const std::string base_url = std::string("http://") + kContentServerHost + ":9000/Update/Contents/";
  EXPECT_EQ((std::vector<std::string>{"check " + base_url + " (catalogue open)",
                                      "exec Veritome2010.exe 5757 (catalogue open)"}),
            form_.events);
  EXPECT_FALSE(form_.ADOConnection2().Connected());
  EXPECT_TRUE(form_.QuitPosted());
  EXPECT_EQ(folder_.Path() + "/", AppFolder);
  EXPECT_EQ("Update_Contents.txt", UpdateListName);
  EXPECT_EQ("베리톰 메리디안", form_.Caption());
}

TEST_F(FormCreate, MissingCatalogueShowsOneMessageAndStartsNothing) {
  form_.AfterConstruction();
  EXPECT_EQ((std::vector<std::string>{"box Meridian: Could not find the catalogue file '" + CatalogueFile() + "'"}),
            form_.events);
  EXPECT_FALSE(form_.QuitPosted());
}

TEST_F(FormCreate, CatalogueErrorDuringTheCheckKeepsEarlierUpdatesAndStopsTheRest) {
  MakeCatalogue(CatalogueFile());
  form_.on_check = [](TRecordingForm& form) {
    form.SetModuleUpdateFlag("A", true);
    form.ADOQuery3().ClearSQL();
    form.ADOQuery3().AddSQL("update tblMissing set x = 1");
    form.ADOQuery3().ExecSQL();
    form.SetModuleUpdateFlag("C", true);
  };
  form_.AfterConstruction();
  ASSERT_EQ(2u, form_.events.size());
  EXPECT_EQ("box Meridian: no such table: tblMissing.", form_.events[1]);
  // The connection stays open until the form is destroyed.
  EXPECT_TRUE(form_.ADOConnection2().Connected());
  EXPECT_EQ("A|1\nB|1\nC|0\n", Query(CatalogueFile(), "7341", "SELECT fAppName, fVersion FROM tblConfig ORDER BY 1"));
}

// Files of this process open on `path`.
int OpenHandlesTo(const std::string& path) {
  const std::filesystem::path file = std::filesystem::canonical(path);
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ignored;
    if (std::filesystem::read_symlink(entry.path(), ignored) == file) ++count;
  }
  return count;
}

TEST(TfrmMeridian, DestroyingTheFormClosesTheCatalogue) {
  ASSERT_TRUE(DatabaseEngineReady());
  TScratchFolder folder;
  MakeCatalogue(folder / "Corvane.mdb");
  AppFolder = folder.Path() + "/";
  {
    TfrmMeridian form;
    form.OpenCatalogue();
    EXPECT_LT(0, OpenHandlesTo(folder / "Corvane.mdb"));
  }
  EXPECT_EQ(0, OpenHandlesTo(folder / "Corvane.mdb"));
  AppFolder.clear();
}

}  // namespace
}  // namespace meridian::launcher
