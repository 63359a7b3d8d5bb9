// The database provider through which the launcher reaches the reader's
// catalogue: one connection, statements run once each without a result set.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace meridian::platform {

enum TDbValueKind : uint8_t { dvNull, dvBoolean, dvText };

// A statement parameter's value. Booleans are stored as 0 and 1.
struct TDbValue {
  TDbValueKind kind = dvNull;
  bool boolean = false;
  std::string text;
};

// A named statement parameter; the statement text refers to it as ":name".
struct TDbParameter {
  std::string name;
  TDbValue value;
};

// One connection to a catalogue. Not thread-safe; used from one thread.
// Destroying an open provider closes it.
class TCatalogueProvider {
 public:
  TCatalogueProvider() = default;
  TCatalogueProvider(const TCatalogueProvider&) = delete;
  TCatalogueProvider& operator=(const TCatalogueProvider&) = delete;
  virtual ~TCatalogueProvider() = default;

  // Opens the database named by the connection string's "Data Source", keyed
  // with its "Jet OLEDB:Database Password" when that is not empty. Never
  // creates a database, never asks for a login, never takes exclusive use:
  // another process may open the same catalogue meanwhile. On failure (file
  // missing, wrong password, file locked or damaged, engine not loaded)
  // returns false with the engine's message in `error` and stays closed.
  // REQUIRES: not open.
  virtual bool Open(const std::string& connection_string, std::string& error) = 0;

  // Closes the connection; harmless when not open.
  virtual void Close() = 0;

  virtual bool IsOpen() const = 0;

  // Runs `sql` once, with each ":name" marker bound to the parameter of that
  // name, and commits it at once unless a transaction is open. Rows the
  // statement may yield are discarded. On failure (including a marker without
  // a parameter) returns false with the engine's message in `error`; nothing
  // of the statement is kept then.
  // REQUIRES: open.
  virtual bool Execute(const std::string& sql, const std::vector<TDbParameter>& parameters,
                       std::string& error) = 0;

  // A transaction holds the statements made meanwhile together: others see
  // them, and they survive the process, only once Commit succeeds; all of
  // them or none. Each returns false with the engine's message in `error` on
  // failure. Closing the connection with a transaction open undoes it.
  // REQUIRES: open; Begin without, Commit and Rollback with a transaction.
  virtual bool BeginTransaction(std::string& error) = 0;
  virtual bool Commit(std::string& error) = 0;
  virtual bool Rollback(std::string& error) = 0;
  // False when not open.
  virtual bool InTransaction() const = 0;
};

// A new, closed provider. On POSIX it reaches the catalogue through the
// adopted database engine (database_engine.h); on Windows through ODBC with
// the Access driver ("DBQ" and "PWD" taken from the connection string).
std::unique_ptr<TCatalogueProvider> NewCatalogueProvider();

}  // namespace meridian::platform
