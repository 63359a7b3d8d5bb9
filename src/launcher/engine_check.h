// The check that the reader's database engine can start.
#pragma once

#include <memory>

#include "platform/library.h"

namespace meridian::launcher {

// Locates and loads the engine library, trying in this order: the current
// folder (only when the file exists there); each folder named in the DLLPATH
// value of the engine's registry key (folders separated by ";"); the
// platform's ordinary library search by bare name. nullptr when none loads.
std::unique_ptr<platform::TLibrary> LoadDatabaseEngine();

// True exactly when the engine library loads and its init entry answers 0.
// The engine then stays loaded and initialised until the process ends, and
// the catalogue is reached through it. A missing entry or another answer
// unloads the library and fails the check.
bool DatabaseEngineReady();

}  // namespace meridian::launcher
