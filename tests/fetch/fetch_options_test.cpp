#include "fetch_options.h"

#include <gtest/gtest.h>

namespace meridian::fetch {
namespace {

TEST(ParseFetchOptions, ReadsGroupedAttachedAndLongForms) {
  const TFetchOptions o = ParseFetchOptions({"-sLiofile.out", "-H", "X-A: 1", "--header", "X-B: 2", "-m2.5",
                                              "--max-redirs", "3", "-#", "-0", "-d", "a=1", "-d@f.txt",
                                              "http://h/a", "--", "-notanoption"});
  EXPECT_TRUE(o.silent);
  EXPECT_TRUE(o.follow);
  EXPECT_TRUE(o.include);
  EXPECT_EQ("file.out", o.output_file);
  EXPECT_EQ((std::vector<std::string>{"X-A: 1", "X-B: 2"}), o.headers);
  EXPECT_DOUBLE_EQ(2.5, o.max_time);
  EXPECT_EQ(3, o.max_redirects);
  EXPECT_TRUE(o.progress_bar);
  EXPECT_TRUE(o.http10);
  EXPECT_EQ((std::vector<std::string>{"a=1", "@f.txt"}), o.data);
  EXPECT_EQ((std::vector<std::string>{"http://h/a", "-notanoption"}), o.urls);
}

TEST(ParseFetchOptions, RefusesUnusableCommandLines) {
  const std::vector<std::vector<std::string>> cases = {
      {"--nope", "http://h/"},
      {"-q", "http://h/"},
      {"http://h/", "-o"},                     // missing value
      {"--max-time", "-1", "http://h/"},       // negative
      {"--connect-timeout", "1s", "http://h/"},
      {"--read-timeout", "nan", "http://h/"},
      {"--max-redirs", "-2", "http://h/"},
      {"-H", "X-A: 1\r\nX-B: 2", "http://h/"},  // header injection
      {"-H", "no colon", "http://h/"},
      {"-A", "agent\n", "http://h/"},
      {"-X", "GET /x HTTP/1.1\r\n", "http://h/"},
      {"-s"},                                   // no URL
  };
  for (const auto& args : cases) {
    EXPECT_THROW(ParseFetchOptions(args), EFetchUsage) << args[0];
  }
  EXPECT_TRUE(ParseFetchOptions({"--version"}).version);
  EXPECT_TRUE(ParseFetchOptions({"-h"}).help);
}

TEST(SecondsToMilliseconds, NeverTurnsALimitIntoNone) {
  EXPECT_EQ(0, SecondsToMilliseconds(0));
  EXPECT_EQ(1, SecondsToMilliseconds(0.0001));
  EXPECT_EQ(1500, SecondsToMilliseconds(1.5));
  EXPECT_EQ(2147483647, SecondsToMilliseconds(1e12));
}

}  // namespace
}  // namespace meridian::fetch
