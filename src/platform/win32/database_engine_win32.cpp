// The reader's database engine on Windows: the engine library whose init
// entry the launcher calls once at start.
#include "platform/database_engine.h"

#include <windows.h>

#include <atomic>

namespace meridian::platform {

namespace {

// The engine's init entry: interface version and environment record (none),
// answering 0 when the engine is ready.
using TDbiInitFn = uint16_t(WINAPI*)(uint16_t version, void* environment);

// The interface version the launcher asks the engine for.
constexpr uint16_t kEngineInterfaceVersion = 500;

// Never unloaded: the engine stays initialised until the process ends, and
// nothing may call into an unloaded engine during static destruction.
std::atomic<TLibrary*> g_engine{nullptr};

}  // namespace

const char* DatabaseEngineLibraryName() { return "IDAPI32.DLL"; }

bool InitialiseDatabaseEngine(const TLibrary& library, int32_t& answer) {
  const auto init = library.Entry<TDbiInitFn>("DbiInitFn");
  if (init == nullptr) return false;
  answer = init(kEngineInterfaceVersion, nullptr);
  return true;
}

void AdoptDatabaseEngine(std::unique_ptr<TLibrary> library) {
  TLibrary* expected = nullptr;
  if (g_engine.compare_exchange_strong(expected, library.get())) library.release();
}

const TLibrary* DatabaseEngine() { return g_engine.load(); }

}  // namespace meridian::platform
