// The Windows platform layer under the real system calls (or Wine's): paths,
// the registry, the engine library, the message box and the ODBC catalogue
// provider over the SQLite ODBC driver.
#include <windows.h>
// The ODBC headers need the Windows types first.
#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/catalogue_provider.h"
#include "platform/database_engine.h"
#include "platform/library.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace meridian::platform {
namespace {

// A scratch folder under the system's temporary folder, removed with its
// files when the test ends. Its name has a blank, which must not break the
// connection string.
class TScratch {
 public:
  TScratch() {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    path_ = std::string(base) + "meridian test " + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount64());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TScratch() {
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA((path_ + "\\" + entry.cFileName).c_str());
      } while (FindNextFileA(find, &entry));
      FindClose(find);
    }
    RemoveDirectoryA(path_.c_str());
  }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const {
    const std::string file = path_ + "\\" + name;
    const HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(handle);
    return file;
  }

 private:
  std::string path_;
};

TEST(WindowsProcess, FolderSeparatorsAndPaths) {
  EXPECT_EQ('\\', FolderSeparator());
  for (const char c : {'\\', ':'}) EXPECT_TRUE(IsFolderSeparator(c)) << c;
  for (const char c : {'/', 'a', '.', '\0'}) EXPECT_FALSE(IsFolderSeparator(c)) << c;

  const std::string self = ExecutablePath();
  ASSERT_GT(self.size(), 3u);
  EXPECT_EQ(":\\", self.substr(1, 2)) << self;
  EXPECT_EQ("platform_tests.exe", self.substr(self.rfind('\\') + 1));

  const TScratch scratch;
  const std::string saved = CurrentFolder();
  ASSERT_TRUE(SetCurrentDirectoryA((scratch.Path() + "\\").c_str()));
  // Without the trailing separator, except at a drive's root.
  EXPECT_EQ(scratch.Path(), CurrentFolder());
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  EXPECT_EQ("C:\\", CurrentFolder());
  SetCurrentDirectoryA(saved.c_str());
}

TEST(WindowsProcess, ComponentObjectServicesBalance) {
  {
    const TComponentObjectServices outer;
    EXPECT_TRUE(outer.Initialised());
    const TComponentObjectServices inner;  // already initialised on this thread: still counted
    EXPECT_TRUE(inner.Initialised());
  }
  // Both released: a different apartment kind is accepted again.
  const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  EXPECT_TRUE(SUCCEEDED(result)) << std::hex << result;
  if (SUCCEEDED(result)) CoUninitialize();
}

TEST(WindowsRegistry, ReadsTextValuesOnly) {
  const char* key = "Software\\Meridian Test Key";
  HKEY handle = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &handle, nullptr));
  const std::string folders = "C:\\a b;D:\\c";
  RegSetValueExA(handle, "DLLPATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(folders.c_str()),
                 static_cast<DWORD>(folders.size() + 1));
  // Stored without its terminating zero.
  RegSetValueExA(handle, "Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
  const DWORD number = 7;
  RegSetValueExA(handle, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegSetValueExA(handle, "Empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  RegCloseKey(handle);

  struct Case {
    TRegistryHive hive;
    const char* key;
    const char* name;
    bool found;
    std::string value;
  };
  const Case cases[] = {
      {rhCurrentUser, key, "DLLPATH", true, folders},
      {rhCurrentUser, "SOFTWARE\\meridian test key", "dllpath", true, folders},
      {rhCurrentUser, key, "Unterminated", true, "abc"},
      {rhCurrentUser, key, "Empty", true, ""},
      {rhCurrentUser, key, "Number", false, "untouched"},
      {rhCurrentUser, key, "Absent", false, "untouched"},
      {rhCurrentUser, "Software\\Meridian Absent Key", "DLLPATH", false, "untouched"},
      {rhLocalMachine, key, "DLLPATH", false, "untouched"},
  };
  for (const Case& c : cases) {
    std::string value = "untouched";
    EXPECT_EQ(c.found, ReadRegistryValue(c.hive, c.key, c.name, value)) << c.key << " " << c.name;
    EXPECT_EQ(c.value, value) << c.key << " " << c.name;
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, key);
}

TEST(WindowsDatabaseEngine, StandInKinds) {
  EXPECT_STREQ("IDAPI32.DLL", DatabaseEngineLibraryName());
  struct Case {
    const char* kind;
    bool loads;
    bool entry;
    int32_t answer;
  };
  const Case cases[] = {
      {"ready", true, true, 0},  // answers 0 only to version 500 without an environment record
      {"refusing", true, true, 1},
      {"no_entry", true, false, -1},
      {"wrong_bitness", false, false, -1},
  };
  for (const Case& c : cases) {
    std::string path = std::string(FAKE_ENGINES) + "/" + c.kind + "/IDAPI32.DLL";
    for (char& ch : path) ch = ch == '/' ? '\\' : ch;
    std::string error;
    const auto library = TLibrary::Load(path, &error);
    ASSERT_EQ(c.loads, library != nullptr) << c.kind << ": " << error;
    if (library == nullptr) {
      EXPECT_NE(std::string::npos, error.find("IDAPI32.DLL")) << error;
      continue;
    }
    int32_t answer = -1;
    EXPECT_EQ(c.entry, InitialiseDatabaseEngine(*library, answer)) << c.kind;
    EXPECT_EQ(c.answer, answer) << c.kind;
  }
}

TEST(WindowsMessageBox, WithoutADesktopReturnsAtOnce) {
  if (std::getenv("DISPLAY") != nullptr) GTEST_SKIP() << "a desktop would show the box and wait";
  // The system cannot show the box: the call gives up instead of waiting.
  ErrorMessageBox("text", "Title");
}

// The ODBC provider against the host's SQLite ODBC driver, which the test-only
// setting names in place of the Access driver.
class WindowsCatalogueProvider : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableW(L"MERIDIAN_TEST_ODBC_DRIVER", L"SQLite3");
    file_ = scratch_.File("Corvane.mdb");
    connection_string_ = "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=\"" + file_ +
                         "\";Persist Security Info=True;Jet OLEDB:Database Password=7341";
    std::string error;
    ASSERT_TRUE(provider_->Open(connection_string_, error)) << error;
    ASSERT_TRUE(provider_->Execute("CREATE TABLE tblConfig(fAppName TEXT, fVersion BOOLEAN)", {}, error)) << error;
    ASSERT_TRUE(provider_->Execute("INSERT INTO tblConfig VALUES ('A', 0), ('B', 1), ('it''s: x', 0)", {}, error))
        << error;
  }
  void TearDown() override { SetEnvironmentVariableW(L"MERIDIAN_TEST_ODBC_DRIVER", nullptr); }

  bool SetFlag(const std::string& name, bool flag, std::string& error) {
    return provider_->Execute("update tblConfig\nset fVersion = :p1\nwhere fAppName = :p2",
                              {{"p2", {dvText, false, name}}, {"p1", {dvBoolean, flag, ""}}}, error);
  }

  // The rows as "name|flag ", read through a second provider-independent
  // ODBC connection.
  std::string Flags() {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string rows;
    const std::string host = HostFile();
    std::wstring text = L"Driver={SQLite3};Database=" + std::wstring(host.begin(), host.end()) + L";";
    if (SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS, nullptr,
                                        0, nullptr, SQL_DRIVER_NOPROMPT))) {
      SQLAllocHandle(SQL_HANDLE_STMT, dbc, &statement);
      wchar_t query[] = L"SELECT fAppName || '|' || fVersion FROM tblConfig ORDER BY 1";
      if (SQL_SUCCEEDED(SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(query), SQL_NTS))) {
        while (SQL_SUCCEEDED(SQLFetch(statement))) {
          char row[256] = {};
          SQLLEN length = 0;
          SQLGetData(statement, 1, SQL_C_CHAR, row, sizeof row, &length);
          rows += std::string(row) + " ";
        }
      }
      SQLFreeHandle(SQL_HANDLE_STMT, statement);
      SQLDisconnect(dbc);
    } else {
      rows = "cannot connect";
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return rows;
  }

  // The catalogue's host path, as the provider gives it to the test driver.
  std::string HostFile() const {
    using TUnixFileName = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<TUnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) return file_;
    const std::wstring wide(file_.begin(), file_.end());
    char* host = convert(wide.c_str());
    std::string result = host != nullptr ? host : file_;
    HeapFree(GetProcessHeap(), 0, host);
    return result;
  }

  TScratch scratch_;
  std::string file_;
  std::string connection_string_;
  std::unique_ptr<TCatalogueProvider> provider_ = NewCatalogueProvider();
};

TEST_F(WindowsCatalogueProvider, MarkersBindByNameInTheirOrder) {
  std::string error;
  ASSERT_TRUE(SetFlag("A", true, error)) << error;
  ASSERT_TRUE(SetFlag("B", false, error)) << error;
  // A name with a colon and a quote is a value, not a marker.
  ASSERT_TRUE(SetFlag("it's: x", true, error)) << error;
  // A name with no row changes nothing and is no error.
  ASSERT_TRUE(SetFlag("Z", true, error)) << error;
  EXPECT_EQ("A|1 B|0 it's: x|1 ", Flags());
}

TEST_F(WindowsCatalogueProvider, FailuresCarryTheReason) {
  std::string error;
  EXPECT_FALSE(provider_->Execute("update tblConfig set fVersion = :p1 where fAppName = :p9",
                                  {{"p1", {dvBoolean, true, ""}}}, error));
  EXPECT_EQ("No value given for the parameter :p9", error);
  error.clear();
  EXPECT_FALSE(provider_->Execute("update tblMissing set x = 1", {}, error));
  EXPECT_NE("", error);
  EXPECT_EQ("A|0 B|1 it's: x|0 ", Flags());

  // A missing file is named and never created.
  const auto other = NewCatalogueProvider();
  const std::string missing = scratch_.Path() + "\\Absent.mdb";
  EXPECT_FALSE(other->Open("Data Source=" + missing, error));
  EXPECT_EQ("Could not find the catalogue file '" + missing + "'", error);
  EXPECT_FALSE(other->IsOpen());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(missing.c_str()));
}

TEST_F(WindowsCatalogueProvider, TransactionsCommitOrUndoTogether) {
  std::string error;
  ASSERT_TRUE(provider_->BeginTransaction(error)) << error;
  EXPECT_TRUE(provider_->InTransaction());
  EXPECT_FALSE(provider_->BeginTransaction(error));
  ASSERT_TRUE(SetFlag("A", true, error)) << error;
  ASSERT_TRUE(provider_->Rollback(error)) << error;
  EXPECT_FALSE(provider_->InTransaction());
  EXPECT_FALSE(provider_->Commit(error));
  EXPECT_EQ("A|0 B|1 it's: x|0 ", Flags());

  ASSERT_TRUE(provider_->BeginTransaction(error)) << error;
  ASSERT_TRUE(SetFlag("A", true, error)) << error;
  ASSERT_TRUE(SetFlag("B", false, error)) << error;
  ASSERT_TRUE(provider_->Commit(error)) << error;
  // Back to committing each statement by itself.
  ASSERT_TRUE(SetFlag("it's: x", true, error)) << error;
  EXPECT_EQ("A|1 B|0 it's: x|1 ", Flags());

  // Closing with a transaction open undoes it.
  ASSERT_TRUE(provider_->BeginTransaction(error)) << error;
  ASSERT_TRUE(SetFlag("A", false, error)) << error;
  provider_->Close();
  EXPECT_FALSE(provider_->IsOpen());
  EXPECT_FALSE(provider_->InTransaction());
  EXPECT_EQ("A|1 B|0 it's: x|1 ", Flags());
}

}  // namespace
}  // namespace meridian::platform
