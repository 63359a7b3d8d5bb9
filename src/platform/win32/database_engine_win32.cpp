// Placeholder until the engine check arrives: the engine never initialises.
#include "platform/database_engine.h"

namespace meridian::platform {

const char* DatabaseEngineLibraryName() { return "IDAPI32.DLL"; }

bool InitialiseDatabaseEngine(const TLibrary&, int32_t&) { return false; }

void AdoptDatabaseEngine(std::unique_ptr<TLibrary>) {}

const TLibrary* DatabaseEngine() { return nullptr; }

}  // namespace meridian::platform
