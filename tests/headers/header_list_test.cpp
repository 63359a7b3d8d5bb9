#include "headers/header_list.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"
#include "rtl/text.h"
#include "support/code_page_scope.h"

namespace meridian::net {
namespace {

void Fill(TNetHeaderList& list, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) list.Add(line);
}

std::vector<std::string> LinesOf(const TNetHeaderList& list) { return list.Lines(); }

TEST(TNetHeaderList, ReadsNamesAndTrimmedValues) {
  struct Case {
    std::string line, name, value;
  } cases[] = {
      {"Content-Type: text/html", "CONTENT-TYPE", "text/html"},
      {"X:  y  ", "X", "y"},
      {"Host : x", "HOST ", "x"},
      {"Empty:", "EMPTY", ""},
      {"no colon here", "", "o colon here"},
      {"", "", ""},
      {":", "", ""},
      {"Url: http://a:80/b", "URL", "http://a:80/b"},
  };
  for (const Case& c : cases) {
    TNetHeaderList list;
  Fill(list, {c.line});
    EXPECT_EQ(c.name, list.NameAt(0)) << c.line;
    EXPECT_EQ(c.value, list.ValueAt(0)) << c.line;
  }
  TNetHeaderList list;
  Fill(list, {"Content-Type: a"});
  list.SetMatchCase(true);
  EXPECT_EQ("Content-Type", list.NameAt(0));
  EXPECT_EQ("", list.NameAt(1));
  EXPECT_EQ("", list.ValueAt(-1));
  EXPECT_EQ("", list.ValueAt(1));
}

TEST(TNetHeaderList, NameNeverEndsOnTheSecondByteOfACharacter) {
  meridian::testing::CodePageScope cp(platform::kCodePageKorean);
  TNetHeaderList list;
  Fill(list, {"X-\x81:y: v"});
  EXPECT_EQ("X-\x81:Y", list.NameAt(0));
  EXPECT_EQ("v", list.GetValue("x-\x81:y"));
}

TEST(TNetHeaderList, LooksUpNamesWithoutRegardToCase) {
  TNetHeaderList list;
  Fill(list, {"Host : x", "Content-Type: text/html", "content-type: other"});
  EXPECT_EQ("text/html", list.GetValue("content-type"));
  EXPECT_EQ(1, list.FindName("CONTENT-TYPE"));
  EXPECT_EQ(-1, list.FindName("Host"));
  EXPECT_EQ("", list.GetValue("Host"));
  EXPECT_EQ(0, list.FindName("host "));
}

// A lookup finds the first line whose NameAt matches, for any kind of line.
TEST(TNetHeaderList, LookupAgreesWithNameAt) {
  const std::vector<std::string> lines = {"Host : x", "", "no colon", ":", "Host: y", "HOST:z", "Ho: st",
                                          "Hostname: n", " folded", "X-A:b: c", "x-a: d"};
  const std::string names[] = {"", "host", "Host ", "ho", "hostname", "x-a", "X-A:B", "no colon", "h"};
  TNetHeaderList list;
  Fill(list, lines);
  for (const std::string& name : names) {
    int32_t expected = -1;
    for (int32_t i = 0; i < list.Count() && expected < 0; ++i) {
      if (rtl::SameText(list.NameAt(i), name)) expected = i;
    }
    EXPECT_EQ(expected, list.FindName(name)) << "'" << name << "'";
    rtl::TStringList collected;
    list.CollectValues(name, &collected);
    int32_t count = 0;
    for (int32_t i = 0; i < list.Count(); ++i) count += rtl::SameText(list.NameAt(i), name) ? 1 : 0;
    EXPECT_EQ(count, collected.Count()) << "'" << name << "'";
  }
  // All at once, in one pass, the same answers.
  const std::vector<std::string_view> views(std::begin(names), std::end(names));
  std::vector<int32_t> found(views.size());
  list.FindNames(views, found);
  for (size_t k = 0; k < views.size(); ++k) EXPECT_EQ(list.FindName(views[k]), found[k]) << "'" << views[k] << "'";
}

// Many names, long ones and names given twice, in one pass: each finds what
// it finds alone.
TEST(TNetHeaderList, LookupOfManyNamesAgreesWithOneByOne) {
  const std::string long_name(40, 'L');
  TNetHeaderList list;
  for (int i = 0; i < 80; i += 3) list.Add("N" + std::to_string(i) + ": v");
  Fill(list, {long_name + ": long", std::string(31, 'x') + ": edge", "n3: again"});
  std::vector<std::string> names;
  for (int i = 0; i < 80; ++i) names.push_back("n" + std::to_string(i));
  names.insert(names.begin() + 5, {long_name, std::string(31, 'X'), "N3", std::string(32, 'x')});
  names.push_back("n6");
  names.push_back(long_name);
  const std::vector<std::string_view> views(names.begin(), names.end());
  std::vector<int32_t> found(views.size());
  list.FindNames(views, found);
  for (size_t k = 0; k < views.size(); ++k) EXPECT_EQ(list.FindName(views[k]), found[k]) << "'" << views[k] << "'";
}

// Every line of a name, from any starting line on.
TEST(TNetHeaderList, FindNameFromALineOn) {
  TNetHeaderList list;
  Fill(list, {"A: 1", "B: 2", " a: folded", "a: 3", "A : 4", "A: 5"});
  std::vector<int32_t> found;
  for (int32_t i = list.FindName("a"); i >= 0; i = list.FindName("a", i + 1)) found.push_back(i);
  EXPECT_EQ((std::vector<int32_t>{0, 3, 5}), found);
  EXPECT_EQ(0, list.FindName("A", -4));
  EXPECT_EQ(-1, list.FindName("A", 6));
}

// Reading a value into a string that held another gives what ValueAt gives.
TEST(TNetHeaderList, ValueIntoAgreesWithValueAt) {
  TNetHeaderList list;
  Fill(list, {"Accept: a,", " b", "\t c  ", "X:  1 ", "Y:", "  ", "Z", ":lone", "Long: " + std::string(40, 'v'), " w"});
  for (const bool join : {true, false}) {
    list.SetJoinContinuations(join);
    for (int32_t i = -1; i <= list.Count(); ++i) {
      std::string value = "a value of earlier, longer than any of this list's values";
      list.ValueInto(i, value);
      EXPECT_EQ(list.ValueAt(i), value) << i << (join ? " joined" : "");
    }
  }
  list.SetJoinContinuations(true);
  EXPECT_EQ("a, b c", list.ValueAt(0));
  EXPECT_EQ(std::string(40, 'v') + " w", list.ValueAt(8));
}

// A new name added without a search makes the lines SetValue makes.
TEST(TNetHeaderList, AddValueWritesWhatSetValueWrites) {
  std::string long_value;
  for (int i = 0; long_value.size() < 200; ++i) long_value += "item" + std::to_string(i) + ", ";
  const std::string values[] = {"", "v", "trailing  ", "a\rb\nc", "folded\r\n  on", long_value};
  for (const bool fold : {true, false}) {
    for (const std::string& value : values) {
      TNetHeaderList set;
      TNetHeaderList added;
      for (TNetHeaderList* list : {&set, &added}) {
        list->SetFoldOnSet(fold);
        Fill(*list, {"Host: h"});
      }
      set.SetValue("New", value);
      added.AddValue("New", value);
      EXPECT_EQ(LinesOf(set), LinesOf(added)) << value << (fold ? " folded" : "");
    }
  }
}

// A list emptied for reuse composes the same lines as a new one, however
// many lines it held before.
TEST(TNetHeaderList, ListClearedForReuseComposesAsANewOne) {
  TNetHeaderList reused;
  for (const int held : {0, 3, 40, 2}) {
    reused.ClearKeepingStorage();
    EXPECT_EQ(0, reused.Count());
    for (int i = 0; i < held; ++i) reused.Add("Held-" + std::to_string(i) + ": a line long enough to live on the heap");
    reused.ClearKeepingStorage();
    TNetHeaderList fresh;
    for (TNetHeaderList* list : {&reused, &fresh}) {
      list->AddValue("Accept", "text/html, */*");
      list->SetValue("User-Agent", "an agent whose name is longer than the short strings");
      list->AddValue("Long", std::string(200, 'x') + " " + std::string(20, 'y'));
    }
    EXPECT_EQ(LinesOf(fresh), LinesOf(reused)) << held;
  }
}

TEST(TNetHeaderList, JoinsContinuationLines) {
  TNetHeaderList list;
  Fill(list, {"Accept: a,", " b", "\t c  ", "X: 1", "", " orphan", "Y:", "  z"});
  EXPECT_EQ("a, b c", list.GetValue("Accept"));
  EXPECT_EQ("1", list.GetValue("X"));  // the empty line ends the block
  EXPECT_EQ("z", list.GetValue("Y"));
  list.SetJoinContinuations(false);
  EXPECT_EQ("a,", list.GetValue("Accept"));
}

TEST(TNetHeaderList, SetValueReplacesFirstLineInPlace) {
  TNetHeaderList list;
  Fill(list, {"Host: h", "cookie: a=1", " b=2", "Cookie: c=3", "Accept: */*"});
  list.SetValue("Cookie", "d=4");
  EXPECT_EQ((std::vector<std::string>{"Host: h", "Cookie: d=4", "Cookie: c=3", "Accept: */*"}), LinesOf(list));

  list.SetValue("New", "v");
  EXPECT_EQ("New: v", list.Strings(list.Count() - 1));

  list.SetFoldOnSet(false);
  list.SetValue("host", "h2");
  EXPECT_EQ("host: h2", list.Strings(0));
}

TEST(TNetHeaderList, EmptyValueRemovesLineAndContinuations) {
  TNetHeaderList list;
  Fill(list, {"Cookie: a=1;", " b=2;", "\tc=3", "Host: h"});
  list.SetValue("cookie", "");
  EXPECT_EQ((std::vector<std::string>{"Host: h"}), LinesOf(list));
  list.SetValue("Absent", "");
  EXPECT_EQ(1, list.Count());
}

TEST(TNetHeaderList, FoldsLongValuesAndJoinsThemBack) {
  std::string value;
  for (int i = 0; value.size() < 200; ++i) value += (i ? " word" : "word") + std::to_string(i);
  value.resize(200);
  if (value.back() == ' ') value.back() = 'x';

  TNetHeaderList list;
  Fill(list, {"First: 1", "X-Long: old", " old continuation", "Last: 2"});
  list.SetValue("X-Long", value);
  ASSERT_GE(list.Count(), 5);
  EXPECT_EQ("First: 1", list.Strings(0));
  EXPECT_EQ("Last: 2", list.Strings(list.Count() - 1));
  EXPECT_LE(list.Strings(1).size(), 80u);
  EXPECT_EQ(0u, list.Strings(1).rfind("X-Long: word0 ", 0));
  for (int32_t i = 2; i < list.Count() - 1; ++i) {
    const std::string& line = list.Strings(i);
    EXPECT_LE(line.size(), 80u) << line;
    ASSERT_GE(line.size(), 2u);
    EXPECT_EQ(' ', line[0]) << line;
    EXPECT_NE(' ', line[1]) << line;
    EXPECT_NE(' ', line.back()) << line;
  }
  EXPECT_EQ(value, list.GetValue("x-long"));

  // Setting a short value again drops every continuation line.
  list.SetValue("X-Long", "short");
  EXPECT_EQ((std::vector<std::string>{"First: 1", "X-Long: short", "Last: 2"}), LinesOf(list));
}

TEST(TNetHeaderList, NeverFoldsInsideQuotesOrWithoutBreaks) {
  const std::string unbroken(300, 'a');
  const std::string quoted = "a=\"" + std::string(40, 'q') + " " + std::string(60, 'r') + "\"";
  TNetHeaderList list;
  list.SetValue("A", unbroken);
  list.SetValue("Q", quoted);
  // The only break of the first line is the blank after the name.
  EXPECT_EQ((std::vector<std::string>{"A:", " " + unbroken, "Q: " + quoted}), LinesOf(list));
  EXPECT_EQ(unbroken, list.GetValue("A"));
}

TEST(TNetHeaderList, CommaStaysAtTheEndOfTheLineItEnds) {
  TNetHeaderList list;
  list.SetFoldWidth(10);
  list.SetValue("A", "aaaa,bbbbbbb,ccc");
  EXPECT_EQ((std::vector<std::string>{"A: aaaa,", " bbbbbbb,", " ccc"}), LinesOf(list));
  EXPECT_EQ("aaaa, bbbbbbb, ccc", list.GetValue("A"));
}

TEST(TNetHeaderList, LineBreaksInAValueNeverStartAHeaderLine) {
  const std::string values[] = {"a\r\nEvil: x", "a\nEvil: x", "a\rEvil: x", "a\r\n\r\nEvil: x", "a\r\n \r\n",
                                "a\r\n"};
  for (const std::string& value : values) {
    for (bool fold : {true, false}) {
      TNetHeaderList list;
      list.SetFoldOnSet(fold);
      list.SetValue("Cookie", value);
      TNetHeaderList reread;
      reread.SetText(list.Text());
      EXPECT_EQ(-1, reread.FindName("Evil")) << value;
      for (int32_t i = 1; i < reread.Count(); ++i) {
        EXPECT_TRUE(TNetHeaderList::IsContinuationLine(reread.Strings(i))) << value;
      }
    }
  }
  // A value folded by the caller keeps its fold.
  TNetHeaderList list;
  list.SetValue("A", "b,\r\n c");
  EXPECT_EQ((std::vector<std::string>{"A: b,", " c"}), LinesOf(list));
}

TEST(TNetHeaderList, CollectsValuesInListOrder) {
  TNetHeaderList list;
  Fill(list, {"Set-Cookie: a=1", "Host: h", "set-cookie: b=2", " c"});
  rtl::TStringList values;
  list.CollectValues("Set-cookie", &values);
  EXPECT_EQ((std::vector<std::string>{"a=1", "b=2 c"}), values.Lines());
  list.CollectValues("Set-Cookie", nullptr);
}

}  // namespace
}  // namespace meridian::net
