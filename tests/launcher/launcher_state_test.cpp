#include "launcher/launcher_state.h"

#include <vector>

#include <gtest/gtest.h>

#include "launcher/form.h"
#include "platform/code_page.h"
#include "platform/process.h"
#include "rtl/code_page.h"

namespace meridian::launcher {
namespace {

// `path` written with "/" as this platform writes it: on Windows "\\", which
// as the second byte of a double-byte character is the classic trap.
std::string Native(std::string path) {
  for (char& c : path) c = c == '/' ? platform::FolderSeparator() : c;
  return path;
}

TEST(ExtractAppFolder, KeepsEverythingUpToTheLastSeparator) {
  const uint32_t saved = rtl::CodePage();
  struct Case {
    uint32_t code_page;
    std::string path;
    std::string folder;
  };
  std::vector<Case> cases = {
      {platform::kCodePageUtf8, "/opt/meridian/meridian", "/opt/meridian/"},
      {platform::kCodePageUtf8, "/meridian", "/"},
      {platform::kCodePageUtf8, "meridian", ""},
      {platform::kCodePageUtf8, "", ""},
      {platform::kCodePageUtf8, "/opt/메리디안/meridian", "/opt/메리디안/"},
      // A "/" that is the second byte of a double-byte character is no separator.
      {platform::kCodePageKorean, "/opt/\xB0/meridian", "/opt/"},
      {platform::kCodePageUtf8, "/opt/\xB0/meridian", "/opt/\xB0/"},
  };
  if (platform::IsFolderSeparator(':')) {
    // A drive's colon ends the folder too.
    cases.push_back({platform::kCodePageUtf8, "C:meridian.exe", "C:"});
    cases.push_back({platform::kCodePageKorean, "C:\xB0:x.exe", "C:"});
  }
  for (const Case& c : cases) {
    rtl::SetCodePage(c.code_page);
    EXPECT_EQ(Native(c.folder), ExtractAppFolder(Native(c.path))) << c.path;
  }
  rtl::SetCodePage(saved);
}

TEST(ApplicationTitle, FileNameUpToTheFirstDotCapitalised) {
  const uint32_t saved = rtl::CodePage();
  struct Case {
    uint32_t code_page;
    std::string path;
    std::string title;
  };
  const Case cases[] = {
      {platform::kCodePageUtf8, "/opt/meridian/meridian", "Meridian"},
      {platform::kCodePageUtf8, "/opt/x.y/MERIDIAN.BIN.old", "Meridian"},
      {platform::kCodePageUtf8, "/opt/.hidden", ""},
      {platform::kCodePageUtf8, "launcher", "Launcher"},
      // Second bytes of double-byte characters keep their case.
      {platform::kCodePageKorean, "/opt/ABC\xB0Z.EXE", "Abc\xB0Z"},
      // Nor does a "." that is a second byte end the name.
      {platform::kCodePageKorean, "/opt/A\xB0.B.C", "A\xB0.b"},
      {platform::kCodePageKorean, "/opt/\xB0ZZ", "\xB0Zz"},
  };
  for (const Case& c : cases) {
    rtl::SetCodePage(c.code_page);
    EXPECT_EQ(c.title, ApplicationTitle(Native(c.path))) << c.path;
  }
  rtl::SetCodePage(saved);
}

TEST(ErrorBoxText, FullStopAppendedUnlessTheLastCharacterIsAtMostADot) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"Cannot open", "Cannot open."},
      {"Cannot open.", "Cannot open."},
      {"Cannot open!", "Cannot open!"},
      {"Cannot open-", "Cannot open-"},
      {"Cannot open ", "Cannot open "},
      {"Cannot open\n", "Cannot open\n"},
      {"file '/a/b'", "file '/a/b'"},
      {"path /a/", "path /a/."},  // "/" comes after "."
      {"not found: 7", "not found: 7."},
      {"café", "café."},  // a last byte above 0x7F is not below "."
  };
  for (const auto& [message, text] : cases) EXPECT_EQ(text, ErrorBoxText(message)) << message;
}

}  // namespace
}  // namespace meridian::launcher
