#include "launcher/file_version.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "rtl/code_page.h"

namespace meridian::launcher {
namespace {

// Runs a test under a given process code page and restores the old one.
class TCodePageChange {
 public:
  explicit TCodePageChange(uint32_t code_page) : saved_(rtl::CodePage()) { rtl::SetCodePage(code_page); }
  TCodePageChange(const TCodePageChange&) = delete;
  TCodePageChange& operator=(const TCodePageChange&) = delete;
  ~TCodePageChange() { rtl::SetCodePage(saved_); }

 private:
  uint32_t saved_;
};

TEST(ParseVersionLine, CutsAtTheFirstEqualsSignAndTheFirstAsterisk) {
  struct Case {
    std::string line;
    std::string file_name;
    std::string version;
    std::string note;
  };
  const Case cases[] = {
      {"A.zip=1.0*x", "A.zip", "1.0", "x"},
      {"A.zip=1.0", "A.zip", "", "A.zip=1.0"},
      {"A.zip", "", "", "A.zip"},
      {"=1.0*", "", "1.0", ""},
      {"A*B=C", "A*B", "", "B=C"},
      {"A=B=C*D", "A", "B=C", "D"},
      {"A.zip=1.0*x*y", "A.zip", "1.0", "x*y"},
      {"", "", "", ""},
      {"A.zip=*x", "A.zip", "", "x"},
      {"*", "", "", ""},
      {"A.zip=1.0 *note with = sign", "A.zip", "1.0 ", "note with = sign"},
      // Plain byte search, even where a mark would be the second byte of a
      // double-byte character (which no such code page allows).
      {"\x81=A.zip=\x81*1*n", "\x81", "A.zip=\x81", "1*n"},
  };
  TCodePageChange korean(platform::kCodePageKorean);
  for (const Case& c : cases) {
    const TFileVersion entry = ParseVersionLine(c.line);
    EXPECT_EQ(c.file_name, entry.FileName) << c.line;
    EXPECT_EQ(c.version, entry.VersionText) << c.line;
    EXPECT_EQ(c.note, entry.Note) << c.line;
  }
}

TEST(ModuleNameOf, RemovesEveryZipWithExactCase) {
  const std::pair<std::string, std::string> cases[] = {
      {"A.zip", "A"},          {"A.ZIP", "A.ZIP"}, {"A.zip.zip", "A"}, {"A.zipper.zip", "Aper"},
      {"Bible", "Bible"},      {"", ""},           {".zip", ""},       {"a.z.zipip", "a.zip"},
      {"x.zi", "x.zi"},        {"A.Zip", "A.Zip"},
  };
  for (const auto& [file_name, module] : cases) EXPECT_EQ(module, ModuleNameOf(file_name)) << file_name;
}

TEST(ModuleNameOf, NeverMatchesFromTheSecondByteOfADoubleByteCharacter) {
  const std::string name = "\xB0.zip\xB0\xA1.zip";  // the first "." is the trail byte of 0xB0
  {
    TCodePageChange korean(platform::kCodePageKorean);
    EXPECT_EQ("\xB0.zip\xB0\xA1", ModuleNameOf(name));
  }
  {
    TCodePageChange utf8(platform::kCodePageUtf8);
    EXPECT_EQ("\xB0\xB0\xA1", ModuleNameOf(name));
  }
}

TEST(TFileVersion, SameModuleAndVersionsDifferCompareExactBytes) {
  const TFileVersion base = ParseVersionLine("A.zip=1.0*x");
  struct Case {
    std::string line;
    bool same_module;
    bool versions_differ;
  };
  const Case cases[] = {
      {"A.zip=1.0*other note", true, false},
      {"a.zip=1.0*x", false, false},
      {"A.zip =1.0*x", false, false},
      {"A.zip=1.0 *x", true, true},
      {"A.zip=0.9*x", true, true},  // a lower version differs too
      {"A.zip=1.00*x", true, true},
  };
  for (const Case& c : cases) {
    const TFileVersion other = ParseVersionLine(c.line);
    EXPECT_EQ(c.same_module, SameModule(base, other)) << c.line;
    if (c.same_module) {
      EXPECT_EQ(c.versions_differ, VersionsDiffer(base, other)) << c.line;
    }
  }
  // Entries without "*" all have an empty version: the same for one module.
  EXPECT_FALSE(VersionsDiffer(ParseVersionLine("A.zip=1.0"), ParseVersionLine("A.zip=2.0")));
  EXPECT_TRUE(VersionsDiffer(ParseVersionLine("A.zip=1.10*"), ParseVersionLine("A.zip=1.9*")));
}

}  // namespace
}  // namespace meridian::launcher
