#include "platform/registry.h"

#include <gtest/gtest.h>

#include "platform/scratch_folder.h"

namespace meridian::platform {
namespace {

using testing::TEnvironmentChange;
using testing::TScratchFolder;

TEST(Registry, LooksUpValuesInTheFileNamedByTheEnvironment) {
  TScratchFolder folder;
  const std::string file = folder.Write("registry.ini",
                                        "; engine settings\r\n"
                                        "[HKEY_LOCAL_MACHINE\\Software\\Vendor\\Engine]\r\n"
                                        "DLLPATH = /opt/engine/lib ; /usr/lib \r\n"
                                        "# comment=ignored\n"
                                        "Empty=\n"
                                        "[HKEY_CURRENT_USER\\Software\\Vendor\\Engine]\n"
                                        "DLLPATH=/home/lib\n"
                                        "[broken\n"
                                        "Stray=1\n");
  TEnvironmentChange store("MERIDIAN_REGISTRY_FILE", file.c_str());
  struct Case {
    TRegistryHive hive;
    std::string key;
    std::string name;
    bool found;
    std::string value;
  };
  const Case cases[] = {
      {rhLocalMachine, "Software\\Vendor\\Engine", "DLLPATH", true, "/opt/engine/lib ; /usr/lib"},
      {rhLocalMachine, "SOFTWARE\\vendor\\ENGINE", "dllpath", true, "/opt/engine/lib ; /usr/lib"},
      {rhCurrentUser, "Software\\Vendor\\Engine", "DLLPATH", true, "/home/lib"},
      {rhLocalMachine, "Software\\Vendor\\Engine", "Empty", true, ""},
      {rhLocalMachine, "Software\\Vendor\\Engine", "# comment", false, "unchanged"},
      {rhLocalMachine, "Software\\Vendor\\Engine", "Stray", false, "unchanged"},
      {rhLocalMachine, "Software\\Vendor", "DLLPATH", false, "unchanged"},
      {rhLocalMachine, "Software\\Other", "DLLPATH", false, "unchanged"},
  };
  for (const Case& c : cases) {
    std::string value = "unchanged";
    EXPECT_EQ(c.found, ReadRegistryValue(c.hive, c.key, c.name, value)) << c.key << " " << c.name;
    EXPECT_EQ(c.value, value) << c.key << " " << c.name;
  }
}

TEST(Registry, MissingStoreFindsNothing) {
  TScratchFolder folder;
  TEnvironmentChange store("MERIDIAN_REGISTRY_FILE", (folder / "absent.ini").c_str());
  std::string value;
  EXPECT_FALSE(ReadRegistryValue(rhLocalMachine, "Software\\Vendor\\Engine", "DLLPATH", value));
}

}  // namespace
}  // namespace meridian::platform
