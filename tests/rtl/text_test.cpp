#include "rtl/text.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/code_page.h"
#include "rtl/code_page.h"
#include "rtl/exceptions.h"
#include "support/code_page_scope.h"

namespace meridian::rtl {
namespace {

using testing::CodePageScope;

TEST(Text, FirstOccurrenceIsOneBasedAndZeroWhenAbsent) {
  CodePageScope cp(platform::kCodePageWestern);
  EXPECT_EQ(1u, FirstOccurrence("a", "abc"));
  EXPECT_EQ(3u, FirstOccurrence("c", "abc"));
  EXPECT_EQ(0u, FirstOccurrence("d", "abc"));
  EXPECT_EQ(0u, FirstOccurrence("", "abc"));
  EXPECT_EQ(0u, FirstOccurrence("abcd", "abc"));
  EXPECT_EQ(2u, FirstOccurrence("\x5C", "\x81\x5C"));  // no lead bytes here
}

TEST(Text, FirstOccurrenceNeverMatchesOnTrailByte) {
  CodePageScope cp(platform::kCodePageKorean);
  // 0x81 0x5C is one character; its trail byte is no backslash.
  EXPECT_EQ(0u, FirstOccurrence("\x5C", "\x81\x5C"));
  EXPECT_EQ(3u, FirstOccurrence("\x5C", "\x81\x5C\x5C"));
  // A double-byte pair followed by a real match of a longer text.
  EXPECT_EQ(0u, FirstOccurrence(".zip", "A\xB0.zip"));
  EXPECT_EQ(3u, FirstOccurrence(".zip", "\xB0\xB0.zip"));
}

TEST(Text, FetchSplitsAtFirstDelimiter) {
  std::string input = "user:pass:x";
  EXPECT_EQ("user", Fetch(input, ":"));
  EXPECT_EQ("pass:x", input);
  std::string none = "abc";
  EXPECT_EQ("abc", Fetch(none, "/"));
  EXPECT_EQ("", none);
  std::string leading = "//host";
  EXPECT_EQ("", Fetch(leading, "//"));
  EXPECT_EQ("host", leading);
}

// The view splits exactly where Fetch does, under a code page with and one
// without double-byte characters.
TEST(Text, FetchViewSplitsWhereFetchDoes) {
  const std::string inputs[] = {"", ":", "a:", ":b", "a:b:c", "abc", "a::b", "\x81:x:y", "a\x81::b", "ab//cd//"};
  const std::string delimiters[] = {":", "::", "//", "x"};
  for (const uint32_t code_page : {platform::kCodePageWestern, platform::kCodePageShiftJis}) {
    CodePageScope cp(code_page);
    for (const std::string& input : inputs) {
      for (const std::string& delimiter : delimiters) {
        std::string copy = input;
        std::string_view view = input;
        const std::string before = Fetch(copy, delimiter);
        EXPECT_EQ(before, FetchView(view, delimiter)) << input << " at " << delimiter;
        EXPECT_EQ(copy, view) << input << " at " << delimiter;
      }
    }
  }
}

TEST(Text, LastOccurrenceAtOrBeforeIgnoresCase) {
  EXPECT_EQ(4u, LastOccurrenceAtOrBefore("/", "a/b/c"));
  EXPECT_EQ(2u, LastOccurrenceAtOrBefore("/", "a/b/c", 3));
  EXPECT_EQ(3u, LastOccurrenceAtOrBefore("AB", "xxab"));
  EXPECT_EQ(0u, LastOccurrenceAtOrBefore("abc", "ab"));
  EXPECT_EQ(0u, LastOccurrenceAtOrBefore("/", "a/b", 1));
  // A single byte, from every start: the last place at or before it.
  const std::string text = "/a//b/";
  const int64_t size = static_cast<int64_t>(text.size());
  for (int64_t start = -2; start <= size + 1; ++start) {
    const int64_t last = start == -1 ? size : std::min(start, size);
    size_t expected = 0;
    for (int64_t i = 1; i <= last; ++i) {
      if (text[static_cast<size_t>(i - 1)] == '/') expected = static_cast<size_t>(i);
    }
    EXPECT_EQ(expected, LastOccurrenceAtOrBefore("/", text, start)) << start;
  }
}

TEST(Text, StrToIntAcceptsSignsAndHexAndRejectsGarbage) {
  EXPECT_EQ(42, StrToInt("42"));
  EXPECT_EQ(-42, StrToInt(" -42"));
  EXPECT_EQ(31, StrToInt("$1F"));
  EXPECT_EQ(31, StrToInt("0x1f"));
  EXPECT_EQ(INT32_MIN, StrToInt("-2147483648"));
  EXPECT_THROW(StrToInt("2147483648"), EConvertError);
  EXPECT_THROW(StrToInt("12 "), EConvertError);
  EXPECT_THROW(StrToInt(""), EConvertError);
  EXPECT_THROW(StrToInt("-"), EConvertError);
  EXPECT_EQ(INT64_MIN, StrToInt64("-9223372036854775808"));
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
  EXPECT_EQ(7, StrToIntDef("x", 7));
  try {
    StrToInt("abc");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ("'abc' is not a valid integer value", e.Message());
  }
}

TEST(Text, TrimRemovesControlCharactersAndBlanks) {
  EXPECT_EQ("a b", Trim("\t a b\r\n"));
  EXPECT_EQ("a ", TrimLeft("  a "));
  EXPECT_EQ(" a", TrimRight(" a \x01"));
  EXPECT_EQ("ABC\xE9", UpperCase("abC\xE9"));
  EXPECT_TRUE(SameText("Content-Length", "content-length"));
}

}  // namespace
}  // namespace meridian::rtl
