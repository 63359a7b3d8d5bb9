// A stand-in for the database engine library: its init entry answers
// FAKE_ENGINE_ANSWER, or it has no init entry at all.
#ifndef FAKE_ENGINE_NO_ENTRY
extern "C" int sqlite3_initialize() { return FAKE_ENGINE_ANSWER; }
#else
extern "C" int fake_engine_other_entry() { return 0; }
#endif
