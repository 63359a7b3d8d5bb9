// The catalogue provider over SQLCipher. The engine is not linked: every entry
// is looked up in the library that the engine check loaded and adopted.
#include "platform/catalogue_provider.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <sys/stat.h>

#include "platform/connection_string.h"
#include "platform/database_engine.h"

namespace meridian::platform {

namespace {

// How long a statement waits for another process (the reader) to release a
// write lock before it fails with the engine's "database is locked".
constexpr int kBusyTimeoutMs = 2000;

// The engine entries the provider uses, looked up once per connection.
struct TEngineEntries {
  decltype(&sqlite3_open_v2) open_v2 = nullptr;
  decltype(&sqlite3_close_v2) close_v2 = nullptr;
  decltype(&sqlite3_key) key = nullptr;
  decltype(&sqlite3_errmsg) errmsg = nullptr;
  decltype(&sqlite3_exec) exec = nullptr;
  decltype(&sqlite3_busy_timeout) busy_timeout = nullptr;
  decltype(&sqlite3_prepare_v2) prepare_v2 = nullptr;
  decltype(&sqlite3_bind_parameter_count) bind_parameter_count = nullptr;
  decltype(&sqlite3_bind_parameter_name) bind_parameter_name = nullptr;
  decltype(&sqlite3_bind_int) bind_int = nullptr;
  decltype(&sqlite3_bind_text) bind_text = nullptr;
  decltype(&sqlite3_bind_null) bind_null = nullptr;
  decltype(&sqlite3_step) step = nullptr;
  decltype(&sqlite3_finalize) finalize = nullptr;
  decltype(&sqlite3_get_autocommit) get_autocommit = nullptr;

  // False, naming the first missing entry in `error`, when the library lacks one.
  bool Resolve(const TLibrary& library, std::string& error) {
    bool complete = true;
    const auto get = [&](auto& entry, const char* name) {
      entry = library.Entry<std::remove_reference_t<decltype(entry)>>(name);
      if (entry == nullptr && complete) {
        complete = false;
        error = std::string("The database engine has no entry ") + name;
      }
    };
    get(open_v2, "sqlite3_open_v2");
    get(close_v2, "sqlite3_close_v2");
    get(key, "sqlite3_key");
    get(errmsg, "sqlite3_errmsg");
    get(exec, "sqlite3_exec");
    get(busy_timeout, "sqlite3_busy_timeout");
    get(prepare_v2, "sqlite3_prepare_v2");
    get(bind_parameter_count, "sqlite3_bind_parameter_count");
    get(bind_parameter_name, "sqlite3_bind_parameter_name");
    get(bind_int, "sqlite3_bind_int");
    get(bind_text, "sqlite3_bind_text");
    get(bind_null, "sqlite3_bind_null");
    get(step, "sqlite3_step");
    get(finalize, "sqlite3_finalize");
    get(get_autocommit, "sqlite3_get_autocommit");
    return complete;
  }
};

const TDbParameter* FindParameter(const std::vector<TDbParameter>& parameters, std::string_view name) {
  for (const TDbParameter& parameter : parameters) {
    if (parameter.name == name) return &parameter;
  }
  return nullptr;
}

class TSqlCipherProvider final : public TCatalogueProvider {
 public:
  ~TSqlCipherProvider() override { Close(); }

  bool Open(const std::string& connection_string, std::string& error) override {
    const TLibrary* engine = DatabaseEngine();
    if (engine == nullptr) {
      error = "The database engine is not loaded";
      return false;
    }
    if (!resolved_ && !(resolved_ = api_.Resolve(*engine, error))) return false;

    std::string file;
    std::string password;
    ConnectionStringValue(connection_string, "Data Source", file);
    ConnectionStringValue(connection_string, "Jet OLEDB:Database Password", password);
    // The engine would create a missing file on some open modes and report a
    // bare "unable to open database file" on others; a catalogue is never
    // created here, and the missing file is named.
    struct stat info {};
    if (file.empty() || stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
      error = "Could not find the catalogue file '" + file + "'";
      return false;
    }

    sqlite3* db = nullptr;
    if (api_.open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      error = db != nullptr ? api_.errmsg(db) : "out of memory";
      api_.close_v2(db);
      return false;
    }
    db_ = db;
    api_.busy_timeout(db_, kBusyTimeoutMs);
    if (!password.empty() && api_.key(db_, password.data(), static_cast<int>(password.size())) != SQLITE_OK) {
      return Fail(error);
    }
    // The key is checked on first access: a wrong password or a damaged file
    // shows here ("file is encrypted or is not a database").
    if (api_.exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK) {
      return Fail(error);
    }
    return true;
  }

  void Close() override {
    if (db_ != nullptr) api_.close_v2(db_);
    db_ = nullptr;
  }

  bool IsOpen() const override { return db_ != nullptr; }

  bool Execute(const std::string& sql, const std::vector<TDbParameter>& parameters,
               std::string& error) override {
    if (db_ == nullptr) {
      error = "The catalogue is not open";
      return false;
    }
    sqlite3_stmt* statement = nullptr;
    if (api_.prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
      error = api_.errmsg(db_);
      api_.finalize(statement);
      return false;
    }
    const bool done = Bind(statement, parameters, error) && Run(statement, error);
    api_.finalize(statement);
    return done;
  }

  bool BeginTransaction(std::string& error) override { return Run("BEGIN", error); }
  bool Commit(std::string& error) override { return Run("COMMIT", error); }
  bool Rollback(std::string& error) override { return Run("ROLLBACK", error); }

  // The engine knows best: a failure may have ended the transaction already.
  bool InTransaction() const override { return db_ != nullptr && api_.get_autocommit(db_) == 0; }

 private:
  // Runs a statement without parameters.
  bool Run(const char* sql, std::string& error) {
    if (db_ == nullptr) {
      error = "The catalogue is not open";
      return false;
    }
    if (api_.exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
      error = api_.errmsg(db_);
      return false;
    }
    return true;
  }

  bool Fail(std::string& error) {
    error = api_.errmsg(db_);
    Close();
    return false;
  }

  bool Bind(sqlite3_stmt* statement, const std::vector<TDbParameter>& parameters, std::string& error) {
    const int count = api_.bind_parameter_count(statement);
    for (int index = 1; index <= count; ++index) {
      const char* marker = api_.bind_parameter_name(statement, index);
      // Only ":name" markers are in use; the engine reports them with the colon.
      const TDbParameter* parameter =
          (marker != nullptr && marker[0] == ':') ? FindParameter(parameters, marker + 1) : nullptr;
      if (parameter == nullptr) {
        error = std::string("No value given for the parameter ") + (marker != nullptr ? marker : "?");
        return false;
      }
      int result = SQLITE_OK;
      switch (parameter->value.kind) {
        case dvBoolean:
          result = api_.bind_int(statement, index, parameter->value.boolean ? 1 : 0);
          break;
        case dvText:
          result = api_.bind_text(statement, index, parameter->value.text.data(),
                                  static_cast<int>(parameter->value.text.size()), SQLITE_TRANSIENT);
          break;
        case dvNull:
          result = api_.bind_null(statement, index);
          break;
      }
      if (result != SQLITE_OK) {
        error = api_.errmsg(db_);
        return false;
      }
    }
    return true;
  }

  bool Run(sqlite3_stmt* statement, std::string& error) {
    // Outside a transaction each statement commits by itself. Rows are stepped
    // over; a statement yields at most as many as its table holds.
    int result;
    while ((result = api_.step(statement)) == SQLITE_ROW) {
    }
    if (result != SQLITE_DONE) {
      error = api_.errmsg(db_);
      return false;
    }
    return true;
  }

  TEngineEntries api_;
  bool resolved_ = false;
  sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<TCatalogueProvider> NewCatalogueProvider() { return std::make_unique<TSqlCipherProvider>(); }

}  // namespace meridian::platform
