// A stand-in for the database engine library on Windows, built as
// IDAPI32.DLL in several kinds: its init entry answers 0 when called as the
// launcher must call it (interface version 500, no environment record) and
// 2 otherwise; FAKE_ENGINE_ANSWER makes it answer that instead; with
// FAKE_ENGINE_NO_ENTRY it has no init entry at all. Self-contained, so the
// 32-bit kind builds with one call of that compiler.
#include <cstdint>

#ifndef FAKE_ENGINE_NO_ENTRY
extern "C" __declspec(dllexport) uint16_t __stdcall DbiInitFn(uint16_t version, void* environment) {
#ifdef FAKE_ENGINE_ANSWER
  static_cast<void>(version);
  static_cast<void>(environment);
  return FAKE_ENGINE_ANSWER;
#else
  return version == 500 && environment == nullptr ? 0 : 2;
#endif
}
#else
extern "C" __declspec(dllexport) int FakeEngineOtherEntry() { return 0; }
#endif
