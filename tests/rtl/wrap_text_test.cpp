#include "rtl/wrap_text.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "rtl/code_page.h"
#include "support/code_page_scope.h"

namespace meridian::rtl {
namespace {

using meridian::testing::CodePageScope;

TEST(WrapText, BreaksAfterTheLastBreakCharacterBeforeTheWidth) {
  CodePageScope cp(platform::kCodePageWestern);
  struct Case {
    std::string line;
    int32_t width;
    std::string wrapped;
  } cases[] = {
      {"aaa bbb ccc", 5, "aaa |bbb |ccc"},
      {"aaa bbb ccc", 100, "aaa bbb ccc"},
      {"aaaaaaaaaa", 3, "aaaaaaaaaa"},
      {"a,b,c", 2, "a,|b,|c"},
      {"\"a b c\" d", 3, "\"a b c\" |d"},
      {"aa|bb", 100, "aa|bb"},   // an existing break is kept
      {"aa|bb", 1, "aa|bb"},
      {"", 3, ""},
      {"a   b", 2, "a |  b"},    // blanks after the break begin the next line
      {"abc ", 2, "abc "},       // nothing follows the break: no break text
  };
  for (const Case& c : cases) EXPECT_EQ(c.wrapped, WrapText(c.line, "|", " ,", c.width)) << c.line;
}

TEST(WrapText, NeverSplitsADoubleByteCharacter) {
  // With lead bytes, 0x81 0x2C is one character; without, its second byte is a comma.
  {
    CodePageScope cp(platform::kCodePageKorean);
    EXPECT_EQ("ab\x81,cd,|e", WrapText("ab\x81,cd,e", "|", ",", 3));
  }
  CodePageScope cp(platform::kCodePageWestern);
  EXPECT_EQ("ab\x81,|cd,|e", WrapText("ab\x81,cd,e", "|", ",", 3));
}

}  // namespace
}  // namespace meridian::rtl
