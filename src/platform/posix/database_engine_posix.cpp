#include "platform/database_engine.h"

#include <atomic>

namespace meridian::platform {

namespace {

// Never unloaded: the engine stays initialised until the process ends, and
// nothing may call into an unloaded engine during static destruction.
std::atomic<TLibrary*> g_engine{nullptr};

}  // namespace

const char* DatabaseEngineLibraryName() { return "libsqlcipher.so.0"; }

bool InitialiseDatabaseEngine(const TLibrary& library, int32_t& answer) {
  const auto init = library.Entry<int (*)()>("sqlite3_initialize");
  if (init == nullptr) return false;
  answer = init();
  return true;
}

void AdoptDatabaseEngine(std::unique_ptr<TLibrary> library) {
  TLibrary* expected = nullptr;
  if (g_engine.compare_exchange_strong(expected, library.get())) library.release();
}

const TLibrary* DatabaseEngine() { return g_engine.load(); }

}  // namespace meridian::platform
