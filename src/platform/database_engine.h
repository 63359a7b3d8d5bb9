// The reader's database engine: a shared library that the launcher locates and
// initialises once, that then stays loaded for the life of the process, and
// through which the catalogue provider reaches the catalogue.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/library.h"

namespace meridian::platform {

// File name of the engine library on this platform: on Windows "IDAPI32.DLL",
// on Linux the SQLCipher library, "libsqlcipher.so.0".
const char* DatabaseEngineLibraryName();

// Calls the engine's init entry in `library`: on Windows "DbiInitFn" with
// interface version 500 and no environment record, on Linux
// "sqlite3_initialize".
// Returns false when the library has no such entry; otherwise true, with the
// engine's answer in `answer` (0 means ready).
bool InitialiseDatabaseEngine(const TLibrary& library, int32_t& answer);

// Keeps `library` loaded until the process ends and makes it the engine that
// catalogue providers use. When an engine was adopted before, that one stays
// and `library` is released.
void AdoptDatabaseEngine(std::unique_ptr<TLibrary> library);

// The adopted engine; nullptr until one is adopted.
const TLibrary* DatabaseEngine();

}  // namespace meridian::platform
