#include "platform/statement_markers.h"

#include <gtest/gtest.h>

namespace meridian::platform {
namespace {

// The text the provider runs must keep literals and plain colons intact and
// put exactly one "?" where each name was, in the order the names are bound.
TEST(PositionalStatement, MarkersBecomeQuestionMarksInBindingOrder) {
  struct Case {
    std::string sql;
    std::string text;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"update tblConfig\nset fVersion = :p1\nwhere fAppName = :p2",
       "update tblConfig\nset fVersion = ?\nwhere fAppName = ?", {"p1", "p2"}},
      {"where a = ':p1' and b = :p2", "where a = ':p1' and b = ?", {"p2"}},
      {"where \"odd:name\" = :c", "where \"odd:name\" = ?", {"c"}},
      {"where a = 'it''s :q' and b=:r", "where a = 'it''s :q' and b=?", {"r"}},
      {"x::y = :z_1)", "x:y = ?)", {"z_1"}},
      {"a = : p and b = :", "a = : p and b = :", {}},
      {":p1,:p1", "?,?", {"p1", "p1"}},
      {"unterminated ' :p", "unterminated ' :p", {}},
      {"", "", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> names = {"stale"};
    EXPECT_EQ(c.text, PositionalStatement(c.sql, names)) << c.sql;
    EXPECT_EQ(c.names, names) << c.sql;
  }
}

}  // namespace
}  // namespace meridian::platform
