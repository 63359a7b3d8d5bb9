#include "platform/library.h"

#include <gtest/gtest.h>

#include "platform/database_engine.h"

namespace meridian::platform {
namespace {

TEST(TLibrary, LoadsByPathAndLooksUpEntries) {
  std::unique_ptr<TLibrary> library = TLibrary::Load(FAKE_ENGINE_REFUSING);
  ASSERT_NE(nullptr, library);
  EXPECT_EQ(FAKE_ENGINE_REFUSING, library->Name());
  EXPECT_NE(nullptr, library->Symbol("sqlite3_initialize"));
  EXPECT_EQ(nullptr, library->Symbol("no_such_entry"));
}

TEST(TLibrary, MissingLibraryGivesNullAndTheReason) {
  std::string error;
  EXPECT_EQ(nullptr, TLibrary::Load("/nonexistent/libnothing.so", &error));
  EXPECT_NE(std::string::npos, error.find("libnothing.so")) << error;
  EXPECT_EQ(nullptr, TLibrary::Load("libmeridian-no-such-library.so.0"));
}

TEST(DatabaseEngine, InitialiseReportsTheAnswerOrAMissingEntry) {
  struct Case {
    const char* library;
    bool has_entry;
    int32_t answer;
  };
  const Case cases[] = {{FAKE_ENGINE_READY, true, 0}, {FAKE_ENGINE_REFUSING, true, 1}, {FAKE_ENGINE_NO_ENTRY, false, -7}};
  for (const Case& c : cases) {
    std::unique_ptr<TLibrary> library = TLibrary::Load(c.library);
    ASSERT_NE(nullptr, library) << c.library;
    int32_t answer = -7;
    EXPECT_EQ(c.has_entry, InitialiseDatabaseEngine(*library, answer)) << c.library;
    EXPECT_EQ(c.answer, answer) << c.library;
  }
}

}  // namespace
}  // namespace meridian::platform
