// Catalogue files for tests, made and read with the engine directly.
#pragma once

#include <string>

namespace meridian::testing {

// Creates the database `file`, keyed with `key` (plain when empty), and runs
// `sql` in it. Fails the current test on an engine error.
void MakeDatabase(const std::string& file, const std::string& key, const std::string& sql);

// A catalogue keyed with the launcher's password, with modules A (flag 0),
// B (flag 1) and C (flag 0), each with a title the launcher must not touch.
void MakeCatalogue(const std::string& file);

// The rows `select` yields, each as its columns joined by "|", one per line.
// An engine error yields "error: " and its message. Opened for writing when
// `writable`, as the reader opens the catalogue: the engine then first undoes
// what a writer that died left half done.
std::string Query(const std::string& file, const std::string& key, const std::string& select,
                  bool writable = false);

}  // namespace meridian::testing
