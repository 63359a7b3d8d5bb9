// The catalogue provider over ODBC with the Access driver that 32-bit Windows
// ships. The statement's ":name" markers become positional "?" markers, bound
// in order of appearance.
#include "platform/catalogue_provider.h"

#include <windows.h>
// The ODBC headers need the Windows types first.
#include <sql.h>
#include <sqlext.h>

#include <deque>

#include "platform/connection_string.h"
#include "platform/statement_markers.h"
#include "platform/win32/wide_text.h"

namespace meridian::platform {

namespace {

constexpr wchar_t kAccessDriver[] = L"Microsoft Access Driver (*.mdb)";

// Test-only: names another ODBC driver, which is then given the file as a
// host path under "Database" (the attribute of the SQLite ODBC driver). Under
// a Windows compatibility layer that forwards ODBC to the host, this lets the
// tests run the provider's whole road against a test catalogue.
constexpr wchar_t kTestDriverVariable[] = L"MERIDIAN_TEST_ODBC_DRIVER";

// The longest diagnostic message kept, in characters.
constexpr SQLSMALLINT kMaxMessageChars = 1024;

std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t buffer[256];
  const DWORD length = GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
  return length > 0 && length < std::size(buffer) ? std::wstring(buffer, length) : std::wstring();
}

// The file's path as the host sees it, when a compatibility layer tells;
// otherwise the path itself.
std::wstring HostPath(const std::wstring& path) {
  using TUnixFileName = char*(CDECL*)(const wchar_t*);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto convert = kernel == nullptr ? nullptr
                       : reinterpret_cast<TUnixFileName>(
                             reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
  if (convert == nullptr) return path;
  char* host = convert(path.c_str());
  if (host == nullptr) return path;
  std::wstring result;
  for (const char* p = host; *p != '\0'; ++p) result += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  HeapFree(GetProcessHeap(), 0, host);
  return result;
}

// An attribute value of an ODBC connection string: as it is, unless a ";"
// would end it early, a brace would be taken for quoting or blanks at either
// end would be trimmed; then in braces, with "}" doubled. (Drivers that know
// no braces, such as the SQLite test driver, still get every plain path.)
std::wstring AttributeValue(const std::wstring& value) {
  const bool plain = value.find_first_of(L";{}") == std::wstring::npos &&
                     (value.empty() || (value.front() != L' ' && value.back() != L' '));
  if (plain) return value;
  std::wstring braced = L"{";
  for (const wchar_t c : value) {
    if (c == L'}') braced += L'}';
    braced += c;
  }
  braced += L'}';
  return braced;
}

// The first diagnostic record of `handle`, in the ANSI code page.
std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle, const char* fallback) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLWCHAR message[kMaxMessageChars] = {};
  SQLSMALLINT length = 0;
  const SQLRETURN result = SQLGetDiagRecW(type, handle, 1, state, &native, message, kMaxMessageChars, &length);
  if (!SQL_SUCCEEDED(result) || length <= 0) return fallback;
  if (length >= kMaxMessageChars) length = kMaxMessageChars - 1;
  return WideToAnsi(std::wstring_view(reinterpret_cast<const wchar_t*>(message), static_cast<size_t>(length)));
}

const TDbParameter* FindParameter(const std::vector<TDbParameter>& parameters, std::string_view name) {
  for (const TDbParameter& parameter : parameters) {
    if (parameter.name == name) return &parameter;
  }
  return nullptr;
}

// One statement handle, freed on every road out (which also discards any
// rows the statement yielded).
class TStatementHandle {
 public:
  explicit TStatementHandle(SQLHDBC connection) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle_))) handle_ = SQL_NULL_HSTMT;
  }
  ~TStatementHandle() {
    if (handle_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, handle_);
  }
  TStatementHandle(const TStatementHandle&) = delete;
  TStatementHandle& operator=(const TStatementHandle&) = delete;

  SQLHSTMT Get() const { return handle_; }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

class TOdbcProvider final : public TCatalogueProvider {
 public:
  ~TOdbcProvider() override { Close(); }

  bool Open(const std::string& connection_string, std::string& error) override {
    std::string file;
    std::string password;
    ConnectionStringValue(connection_string, "Data Source", file);
    ConnectionStringValue(connection_string, "Jet OLEDB:Database Password", password);
    // A catalogue is never created here, and the missing file is named.
    const std::wstring wide_file = AnsiToWide(file);
    const DWORD attributes = file.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide_file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      error = "Could not find the catalogue file '" + file + "'";
      return false;
    }

    const std::wstring test_driver = EnvironmentValue(kTestDriverVariable);
    std::wstring odbc = L"Driver=" + AttributeValue(test_driver.empty() ? kAccessDriver : test_driver) + L";";
    odbc += test_driver.empty() ? L"DBQ=" + AttributeValue(wide_file) : L"Database=" + AttributeValue(HostPath(wide_file));
    odbc += L";PWD=" + AttributeValue(AnsiToWide(password)) + L";";

    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_))) {
      environment_ = SQL_NULL_HENV;
      error = "Could not start ODBC";
      return false;
    }
    SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_))) {
      connection_ = SQL_NULL_HDBC;
      error = Diagnostic(SQL_HANDLE_ENV, environment_, "Could not start ODBC");
      FreeHandles();
      return false;
    }
    // The wide call: never a prompt, whatever the driver would like to ask.
    SQLWCHAR completed[1024];
    SQLSMALLINT completed_length = 0;
    const SQLRETURN result =
        SQLDriverConnectW(connection_, nullptr, reinterpret_cast<SQLWCHAR*>(odbc.data()),
                          static_cast<SQLSMALLINT>(odbc.size()), completed, static_cast<SQLSMALLINT>(std::size(completed)),
                          &completed_length, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(result)) {
      error = Diagnostic(SQL_HANDLE_DBC, connection_, "Could not open the catalogue");
      FreeHandles();
      return false;
    }
    connected_ = true;
    return true;
  }

  void Close() override {
    if (connected_) {
      // Closing with a transaction open undoes it.
      if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, connection_, SQL_ROLLBACK);
      SQLDisconnect(connection_);
    }
    connected_ = false;
    in_transaction_ = false;
    FreeHandles();
  }

  bool IsOpen() const override { return connected_; }

  bool Execute(const std::string& sql, const std::vector<TDbParameter>& parameters,
               std::string& error) override {
    if (!connected_) {
      error = "The catalogue is not open";
      return false;
    }
    std::vector<std::string> names;
    std::wstring text = AnsiToWide(PositionalStatement(sql, names));
    TStatementHandle statement(connection_);
    if (statement.Get() == SQL_NULL_HSTMT) {
      error = Diagnostic(SQL_HANDLE_DBC, connection_, "Could not make a statement");
      return false;
    }
    // The bound values must stay in place until the statement has run.
    std::deque<std::wstring> texts;
    std::deque<unsigned char> booleans;
    std::deque<SQLLEN> lengths;
    for (size_t i = 0; i < names.size(); ++i) {
      const TDbParameter* parameter = FindParameter(parameters, names[i]);
      if (parameter == nullptr) {
        error = "No value given for the parameter :" + names[i];
        return false;
      }
      const auto number = static_cast<SQLUSMALLINT>(i + 1);
      SQLRETURN result = SQL_ERROR;
      switch (parameter->value.kind) {
        case dvBoolean:
          booleans.push_back(parameter->value.boolean ? 1 : 0);
          lengths.push_back(0);
          result = SQLBindParameter(statement.Get(), number, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 0, 0,
                                    &booleans.back(), 0, &lengths.back());
          break;
        case dvText: {
          texts.push_back(AnsiToWide(parameter->value.text));
          const std::wstring& value = texts.back();
          const SQLLEN bytes = static_cast<SQLLEN>(value.size() * sizeof(wchar_t));
          lengths.push_back(bytes);
          result = SQLBindParameter(statement.Get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                    value.empty() ? 1 : value.size(), 0, const_cast<wchar_t*>(value.c_str()),
                                    bytes, &lengths.back());
          break;
        }
        case dvNull:
          lengths.push_back(SQL_NULL_DATA);
          result = SQLBindParameter(statement.Get(), number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0,
                                    nullptr, 0, &lengths.back());
          break;
      }
      if (!SQL_SUCCEEDED(result)) {
        error = Diagnostic(SQL_HANDLE_STMT, statement.Get(), "Could not bind a parameter");
        return false;
      }
    }
    const SQLRETURN result = SQLExecDirectW(statement.Get(), reinterpret_cast<SQLWCHAR*>(text.data()),
                                            static_cast<SQLINTEGER>(text.size()));
    // An update that matches no row answers "no data": no error.
    if (!SQL_SUCCEEDED(result) && result != SQL_NO_DATA) {
      error = Diagnostic(SQL_HANDLE_STMT, statement.Get(), "The statement failed");
      return false;
    }
    return true;
  }

  bool BeginTransaction(std::string& error) override {
    if (!Require(false, error)) return false;
    if (!SetAutoCommit(false)) {
      error = Diagnostic(SQL_HANDLE_DBC, connection_, "Could not begin a transaction");
      return false;
    }
    in_transaction_ = true;
    return true;
  }

  bool Commit(std::string& error) override { return End(SQL_COMMIT, error); }
  bool Rollback(std::string& error) override { return End(SQL_ROLLBACK, error); }

  bool InTransaction() const override { return connected_ && in_transaction_; }

 private:
  // False with a message unless open and in (or not in) a transaction as
  // `transaction` says.
  bool Require(bool transaction, std::string& error) const {
    if (!connected_) {
      error = "The catalogue is not open";
      return false;
    }
    if (in_transaction_ != transaction) {
      error = transaction ? "No transaction is open" : "A transaction is open already";
      return false;
    }
    return true;
  }

  bool SetAutoCommit(bool on) {
    const SQLULEN mode = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    return SQL_SUCCEEDED(
        SQLSetConnectAttrW(connection_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(mode), SQL_IS_UINTEGER));
  }

  // Commits or undoes the open transaction and goes back to committing each
  // statement by itself. A commit that fails leaves the transaction open, so
  // that the caller may still undo it (closing undoes it too).
  bool End(SQLSMALLINT completion, std::string& error) {
    if (!Require(true, error)) return false;
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, connection_, completion))) {
      error = Diagnostic(SQL_HANDLE_DBC, connection_, "Could not end the transaction");
      return false;
    }
    in_transaction_ = false;
    SetAutoCommit(true);
    return true;
  }

  void FreeHandles() {
    if (connection_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, connection_);
    if (environment_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, environment_);
    connection_ = SQL_NULL_HDBC;
    environment_ = SQL_NULL_HENV;
  }

  SQLHENV environment_ = SQL_NULL_HENV;
  SQLHDBC connection_ = SQL_NULL_HDBC;
  bool connected_ = false;
  bool in_transaction_ = false;
};

}  // namespace

std::unique_ptr<TCatalogueProvider> NewCatalogueProvider() { return std::make_unique<TOdbcProvider>(); }

}  // namespace meridian::platform
