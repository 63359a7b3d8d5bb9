#include "rtl/string_list.h"

#include <gtest/gtest.h>

#include "rtl/exceptions.h"

namespace meridian::rtl {
namespace {

TEST(TStringList, SplitsTextAtEveryKindOfLineBreak) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\rc\r\n\r\nd", {"a", "b", "c", "", "d"}},
      {"\r\n", {""}},
      {"a\n\r", {"a", ""}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.Add("old");
    list.SetText(c.text);
    EXPECT_EQ(c.lines, list.Lines()) << c.text;
  }
  TStringList list;
  list.SetText("a\nb");
  EXPECT_EQ("a\r\nb\r\n", list.Text());
}

TEST(TStringList, RejectsIndexesOutsideTheList) {
  TStringList list;
  list.Insert(0, "b");
  list.Insert(0, "a");
  list.Insert(2, "c");
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), list.Lines());
  EXPECT_THROW(list.Strings(3), EListError);
  EXPECT_THROW(list.Strings(-1), EListError);
  EXPECT_THROW(list.Insert(4, "x"), EListError);
  EXPECT_THROW(list.Delete(3), EListError);
  list.Delete(1);
  EXPECT_EQ(1, list.IndexOf("C"));
  EXPECT_EQ(-1, list.IndexOf("b"));
  list.AddStrings(list);
  EXPECT_EQ((std::vector<std::string>{"a", "c", "a", "c"}), list.Lines());
}

}  // namespace
}  // namespace meridian::rtl
