#include "platform/connection_string.h"

#include <gtest/gtest.h>

namespace meridian::platform {
namespace {

TEST(ConnectionString, ValuesByName) {
  const std::string launcher =
      "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=/opt/a b/Corvane.mdb;"
      "Persist Security Info=True;Jet OLEDB:Database Password=7341";
  struct Case {
    std::string text;
    std::string name;
    bool found;
    std::string value;
  };
  const Case cases[] = {
      {launcher, "Data Source", true, "/opt/a b/Corvane.mdb"},
      {launcher, "jet oledb:database password", true, "7341"},
      {launcher, "Password", true, ""},  // present and empty, not the database password
      {launcher, "User ID", false, ""},
      {" Data Source = /x.db ; Mode=Share", "Data Source", true, "/x.db"},
      {"Data Source=\"/a;b.db\";X=1", "Data Source", true, "/a;b.db"},
      {"Data Source='it''s.db'", "Data Source", true, "it's.db"},
      {"Data Source=\"say \"\"hi\"\"\"", "Data Source", true, "say \"hi\""},
      {"Data Source=\"unterminated", "Data Source", true, "unterminated"},
      {"junk;Data Source=a;Data Source=b", "Data Source", true, "b"},
      {"Data Source=", "Data Source", true, ""},
      {"", "Data Source", false, ""},
  };
  for (const Case& c : cases) {
    std::string value;
    EXPECT_EQ(c.found, ConnectionStringValue(c.text, c.name, value)) << c.text;
    EXPECT_EQ(c.value, value) << c.text;
  }
}

}  // namespace
}  // namespace meridian::platform
