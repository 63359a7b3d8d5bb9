#include "catalogue_file.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <gtest/gtest.h>

namespace meridian::testing {

namespace {

sqlite3* OpenKeyed(const std::string& file, const std::string& key, int flags) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
  if (!key.empty()) sqlite3_key(db, key.data(), static_cast<int>(key.size()));
  return db;
}

int CollectRow(void* out, int columns, char** values, char** /*names*/) {
  auto& text = *static_cast<std::string*>(out);
  for (int i = 0; i < columns; ++i) {
    if (i > 0) text += '|';
    text += values[i] != nullptr ? values[i] : "NULL";
  }
  text += '\n';
  return 0;
}

}  // namespace

void MakeDatabase(const std::string& file, const std::string& key, const std::string& sql) {
  sqlite3* db = OpenKeyed(file, key, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  char* error = nullptr;
  EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error)) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

void MakeCatalogue(const std::string& file) {
  MakeDatabase(file, "7341",
               "CREATE TABLE tblConfig(fAppName TEXT, fVersion BOOLEAN, fTitle TEXT);"
               "INSERT INTO tblConfig VALUES('A', 0, 'Alpha'), ('B', 1, 'Beta'), ('C', 0, 'Gamma');");
}

std::string Query(const std::string& file, const std::string& key, const std::string& select, bool writable) {
  sqlite3* db = OpenKeyed(file, key, writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
  std::string rows;
  char* error = nullptr;
  if (sqlite3_exec(db, select.c_str(), CollectRow, &rows, &error) != SQLITE_OK) {
    rows = std::string("error: ") + (error ? error : "");
  }
  sqlite3_free(error);
  sqlite3_close(db);
  return rows;
}

}  // namespace meridian::testing
