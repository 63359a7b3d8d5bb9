#include "launcher/catalogue_query.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "catalogue_file.h"
#include "content_server.h"
#include "launcher/engine_check.h"
#include "launcher/exceptions.h"
#include "launcher/form.h"
#include "launcher/launcher_state.h"
#include "platform/connection_string.h"
#include "rtl/streams.h"
#include "platform/scratch_folder.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

namespace meridian::launcher {
namespace {

using testing::MakeCatalogue;
using testing::MakeDatabase;
using testing::Query;
using testing::TEnvironmentChange;
using testing::TScratchFolder;

constexpr char kFlags[] = "SELECT fAppName, fVersion, typeof(fVersion), fTitle FROM tblConfig ORDER BY fAppName";

TEST(CatalogueConnectionString, ComposedExactly) {
  EXPECT_EQ(
      "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=/opt/메리디안 1/Corvane.mdb;"
      "Persist Security Info=True;Jet OLEDB:Database Password=7341",
      CatalogueConnectionString("/opt/메리디안 1/"));
}

TEST(CatalogueConnectionString, EveryFolderReachesTheProviderWhole) {
  const std::pair<std::string, std::string> cases[] = {
      // folder, Data Source as written in the string
      {"/opt/a b/", "/opt/a b/Corvane.mdb"},
      {"/opt/a=b/", "/opt/a=b/Corvane.mdb"},
      {"/opt/a;b/", "\"/opt/a;b/Corvane.mdb\""},
      {"/opt/a;Jet OLEDB:Database Password=1;x/", "\"/opt/a;Jet OLEDB:Database Password=1;x/Corvane.mdb\""},
      {"/opt/say \"hi\"/", "\"/opt/say \"\"hi\"\"/Corvane.mdb\""},
      {"/opt/it's/", "\"/opt/it's/Corvane.mdb\""},
      {"'q'/", "\"'q'/Corvane.mdb\""},
      {" lead/", "\" lead/Corvane.mdb\""},
      {"\tlead/", "\"\tlead/Corvane.mdb\""},
  };
  for (const auto& [folder, written] : cases) {
    const std::string text = CatalogueConnectionString(folder);
    EXPECT_EQ("Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=" + written +
                  ";Persist Security Info=True;Jet OLEDB:Database Password=7341",
              text);
    std::string value;
    EXPECT_TRUE(platform::ConnectionStringValue(text, "Data Source", value)) << folder;
    EXPECT_EQ(folder + "Corvane.mdb", value);
    EXPECT_TRUE(platform::ConnectionStringValue(text, "Jet OLEDB:Database Password", value)) << folder;
    EXPECT_EQ("7341", value) << folder;
    EXPECT_TRUE(platform::ConnectionStringValue(text, "Password", value)) << folder;
    EXPECT_EQ("", value) << folder;
  }
}

TEST(ParamNamesOf, ColonNamesOutsideLiteralsInOrder) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"update tblConfig\nset fVersion = :p1\nwhere fAppName = :p2\n", {"p1", "p2"}},
      {"where a = ':p1' and b = :p2", {"p2"}},
      {"where \"odd:name\" = :c", {"c"}},
      {"where a = 'it''s :q' and b=:r", {"r"}},
      {"x::y = :z_1)", {"z_1"}},
      {"a = : p", {}},
      {":p1,:p1", {"p1", "p1"}},
      {"unterminated ' :p", {}},
      {"", {}},
  };
  for (const auto& [sql, names] : cases) EXPECT_EQ(names, ParamNamesOf(sql)) << sql;
}

TEST(TCatalogueQuery, ParametersFollowTheText) {
  TCatalogueQuery query;
  query.AddSQL("update t set a = :p1");
  ASSERT_EQ(1u, query.ParamCount());
  query.ParamByName("P1").SetAsString("abc");
  EXPECT_EQ(ftString, query.ParamByName("p1").DataType());
  query.ParamByName("p1").SetAsString("a");
  EXPECT_EQ(3u, query.ParamByName("p1").Size());  // grows, never shrinks
  query.ParamByName("p1").SetAsString("abcdef");
  EXPECT_EQ(6u, query.ParamByName("p1").Size());

  // Changing the text derives the parameters afresh, without the old values.
  query.AddSQL("where b = :p2");
  ASSERT_EQ(2u, query.ParamCount());
  EXPECT_EQ(ftUnknown, query.Params(0).DataType());
  EXPECT_EQ(platform::dvNull, query.Params(0).Value().kind);
  query.ParamByName("p2").SetAsBoolean(true);
  EXPECT_EQ(ftBoolean, query.ParamByName("p2").DataType());

  EXPECT_THROW(query.ParamByName("p3"), EDatabaseError);
  query.ClearSQL();
  EXPECT_EQ(0u, query.ParamCount());
  EXPECT_THROW(query.ParamByName("p1"), EDatabaseError);
  EXPECT_THROW(query.ExecSQL(), EDatabaseError);  // no connection
}

TEST(TCatalogueQuery, ForgetsADestroyedConnection) {
  TCatalogueQuery query;
  {
    TCatalogueConnection connection;
    query.SetConnection(&connection);
  }
  EXPECT_EQ(nullptr, query.Connection());
}

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DatabaseEngineReady());
    AppFolder = folder_.Path() + "/";
  }
  void TearDown() override { AppFolder.clear(); }

  std::string CatalogueFile() const { return folder_ / "Corvane.mdb"; }

  TScratchFolder folder_;
  TEnvironmentChange registry_{"MERIDIAN_REGISTRY_FILE", "/nonexistent/registry.ini"};
  TfrmMeridian form_;
};

TEST_F(Catalogue, SetModuleUpdateFlagWritesOnlyTheNamedModule) {
  MakeCatalogue(CatalogueFile());
  form_.OpenCatalogue();
  form_.SetModuleUpdateFlag("A", true);
  form_.SetModuleUpdateFlag("C", true);
  form_.SetModuleUpdateFlag("C", false);  // the later value stays
  form_.SetModuleUpdateFlag("B", false);
  form_.SetModuleUpdateFlag("Missing", true);  // no row: no change, no error
  form_.SetModuleUpdateFlag("a", false);       // names match exactly
  // Read by another connection while the launcher still holds the catalogue.
  EXPECT_EQ("A|1|integer|Alpha\nB|0|integer|Beta\nC|0|integer|Gamma\n", Query(CatalogueFile(), "7341", kFlags));
  EXPECT_EQ((std::vector<std::string>{"update tblConfig", "set fVersion = :p1", "where fAppName = :p2"}),
            form_.ADOQuery3().SQL());
}

TEST_F(Catalogue, StatementFailuresRaiseTheEngineMessage) {
  MakeDatabase(CatalogueFile(), "7341", "CREATE TABLE tblOther(fAppName TEXT);");
  form_.OpenCatalogue();
  try {
    form_.SetModuleUpdateFlag("A", true);
    FAIL() << "no error raised";
  } catch (const EDatabaseError& error) {
    EXPECT_EQ("no such table: tblConfig", error.Message());
  }
  EXPECT_TRUE(form_.ADOConnection2().Connected());
}

TEST_F(Catalogue, OpenFailuresRaiseAndLeaveTheConnectionClosed) {
  struct Case {
    const char* what;
    std::string key;            // the catalogue's own key; empty: no database at all
    std::string plain_content;  // written instead of a database when not empty
    std::string message;
  };
  const Case cases[] = {
      {"wrong password", "1234", "", "file is encrypted or is not a database"},
      {"damaged file", "", "this is no database, only some text that fills a page.", "file is encrypted or is not a database"},
      {"missing file", "", "", "Could not find the catalogue file '" + CatalogueFile() + "'"},
  };
  for (const Case& c : cases) {
    std::remove(CatalogueFile().c_str());
    if (!c.key.empty()) MakeDatabase(CatalogueFile(), c.key, "CREATE TABLE tblConfig(fAppName TEXT, fVersion BOOLEAN);");
    if (!c.plain_content.empty()) folder_.Write("Corvane.mdb", c.plain_content);
    try {
      form_.OpenCatalogue();
      ADD_FAILURE() << c.what << ": no error raised";
    } catch (const EDatabaseError& error) {
      EXPECT_EQ(c.message, error.Message()) << c.what;
    }
    EXPECT_FALSE(form_.ADOConnection2().Connected()) << c.what;
  }
  // A missing catalogue is never created.
  EXPECT_FALSE(rtl::FileExists(CatalogueFile()));
}

TEST_F(Catalogue, LockedCatalogueRaisesInsteadOfWaitingForever) {
  MakeCatalogue(CatalogueFile());
  form_.OpenCatalogue();
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(CatalogueFile().c_str(), &other, SQLITE_OPEN_READWRITE, nullptr));
  sqlite3_key(other, "7341", 4);
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
  EXPECT_THROW(form_.SetModuleUpdateFlag("A", true), EDatabaseError);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  form_.SetModuleUpdateFlag("A", true);
  EXPECT_EQ("A|1|integer|Alpha\nB|1|integer|Beta\nC|0|integer|Gamma\n", Query(CatalogueFile(), "7341", kFlags));
}

TEST_F(Catalogue, TransactionsReachTheCatalogueWholeOrNotAtAll) {
  constexpr char kFlagsOnly[] = "SELECT fAppName, fVersion FROM tblConfig ORDER BY 1";
  MakeCatalogue(CatalogueFile());
  TCatalogueConnection& connection = form_.ADOConnection2();
  EXPECT_THROW(connection.BeginTrans(), EDatabaseError);  // not open
  form_.OpenCatalogue();
  EXPECT_FALSE(connection.InTransaction());
  EXPECT_THROW(connection.CommitTrans(), EDatabaseError);  // none open

  connection.BeginTrans();
  EXPECT_TRUE(connection.InTransaction());
  form_.SetModuleUpdateFlag("A", true);
  form_.SetModuleUpdateFlag("B", false);
  // Another connection sees nothing before the commit.
  EXPECT_EQ("A|0\nB|1\nC|0\n", Query(CatalogueFile(), "7341", kFlagsOnly));
  connection.CommitTrans();
  EXPECT_FALSE(connection.InTransaction());
  EXPECT_EQ("A|1\nB|0\nC|0\n", Query(CatalogueFile(), "7341", kFlagsOnly));

  connection.BeginTrans();
  form_.SetModuleUpdateFlag("C", true);
  connection.RollbackTrans();
  connection.BeginTrans();
  form_.SetModuleUpdateFlag("A", false);
  connection.Close();  // undoes the open transaction
  EXPECT_EQ("A|1\nB|0\nC|0\n", Query(CatalogueFile(), "7341", kFlagsOnly));
}

// The update check against the real catalogue, with the statement that fails
// chosen by the test.
class TFailingForm : public TfrmMeridian {
 public:
  void SetModuleUpdateFlag(const std::string& module_name, bool update_available) override {
    if (++made == fail_at) throw EDatabaseError("disk I/O error");
    TfrmMeridian::SetModuleUpdateFlag(module_name, update_available);
  }

  size_t made = 0;
  size_t fail_at = 0;  // counting from 1; 0: none
};

TEST_F(Catalogue, UpdateCheckKeepsTheStatementsMadeBeforeAFailure) {
  MakeCatalogue(CatalogueFile());
  folder_.Write("Update_Contents.txt", "A.zip=1*x\nB.zip=1*x\nC.zip=1*x\n");
  testing::TContentServer server(testing::sbAnswer, testing::OkReply("A.zip=2*x\nB.zip=1*x\nC.zip=2*x\n"));
  UpdateListName = "Update_Contents.txt";
  for (const size_t fail_at : {3u, 0u}) {
    TFailingForm form;
    form.fail_at = fail_at;
    form.OpenCatalogue();
    if (fail_at != 0) {
      EXPECT_THROW(form.CheckContentUpdates(server.BaseURL()), EDatabaseError);
      EXPECT_EQ("A|1|integer|Alpha\nB|0|integer|Beta\nC|0|integer|Gamma\n", Query(CatalogueFile(), "7341", kFlags));
    } else {
      form.CheckContentUpdates(server.BaseURL());
      EXPECT_EQ("A|1|integer|Alpha\nB|0|integer|Beta\nC|1|integer|Gamma\n", Query(CatalogueFile(), "7341", kFlags));
    }
    EXPECT_FALSE(form.ADOConnection2().InTransaction());
  }
  UpdateListName.clear();
}

}  // namespace
}  // namespace meridian::launcher
