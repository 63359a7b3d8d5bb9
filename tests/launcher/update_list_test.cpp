#include "launcher/update_list.h"

#include <gtest/gtest.h>

#include "platform/scratch_folder.h"
#include "rtl/exceptions.h"

namespace meridian::launcher {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitListLines, FollowsTheListsLineBreakRules) {
  using namespace std::string_literals;
  const struct {
    std::string text;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},
      // Only a carriage return directly followed by a line feed is one break.
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\n\n", {"a", ""}},
      // The text ends at its first zero byte.
      {"a\nb\0c\nd"s, {"a", "b"}},
      {"a\r\0\nb"s, {"a"}},
      {"\0a"s, {}},
      // Bytes outside ASCII and a byte-order mark are kept as they are.
      {"\xEF\xBB\xBF\xB0\xA1=1*x\n", {"\xEF\xBB\xBF\xB0\xA1=1*x"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.lines, SplitListLines(c.text)) << ::testing::PrintToString(c.text);
    // The count that bounds a list agrees with the lines it would give.
    EXPECT_EQ(c.lines.size(), CountListLines(c.text)) << ::testing::PrintToString(c.text);
  }
}

TEST(ParseVersionList, GivesOneEntryPerLineWhateverTheBreaks) {
  for (const char* text : {"A.zip=1*x\r\n\r\nB.zip=2\r\n", "A.zip=1*x\n\nB.zip=2\n", "A.zip=1*x\r\rB.zip=2"}) {
    const std::vector<TFileVersion> entries = ParseVersionList(text);
    ASSERT_EQ(3u, entries.size()) << text;
    EXPECT_EQ("A.zip", entries[0].FileName);
    EXPECT_EQ("1", entries[0].VersionText);
    EXPECT_EQ("x", entries[0].Note);
    EXPECT_EQ("", entries[1].FileName);
    EXPECT_EQ("B.zip", entries[2].FileName);
    EXPECT_EQ("", entries[2].VersionText);
  }
}

TEST(ReadListFile, ReadsEveryByteAndFailsOnAMissingFile) {
  meridian::testing::TScratchFolder folder;
  const std::string content("A.zip=1*x\r\n\0B", 13);
  EXPECT_EQ(content, ReadListFile(folder.Write("list.txt", content)));
  EXPECT_EQ("", ReadListFile(folder.Write("empty.txt", "")));
  EXPECT_THROW(ReadListFile(folder / "missing.txt"), rtl::EFOpenError);
}

}  // namespace
}  // namespace meridian::launcher
