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
  // -4 and -6: the last one counts.
  EXPECT_EQ(0, ParseFetchOptions({"http://h/"}).ip_version);
  EXPECT_EQ(4, ParseFetchOptions({"-6", "--ipv4", "http://h/"}).ip_version);
  EXPECT_EQ(6, ParseFetchOptions({"-s4L6", "http://h/"}).ip_version);
  EXPECT_TRUE(ParseFetchOptions({"-h"}).help);
}

TEST(ParseFetchOptions, ReadsSocksProxiesWithTheirDefaultPortAndTheLastProxyWins) {
  const struct {
    std::vector<std::string> args;
    TFetchSocks socks;
    std::string host;
    int32_t port;
    std::string proxy;
  } cases[] = {
      {{"--socks4", "proxy.test"}, fsSocks4, "proxy.test", 1080, ""},
      {{"--socks4a", "127.0.0.1:1081"}, fsSocks4A, "127.0.0.1", 1081, ""},
      {{"--socks5-hostname", "proxy.test:65535"}, fsSocks5Hostname, "proxy.test", 65535, ""},
      {{"-x", "http://p:8080", "--socks5-hostname", "proxy.test"}, fsSocks5Hostname, "proxy.test", 1080, ""},
      {{"--socks4", "proxy.test", "-x", "http://p:8080"}, fsNone, "proxy.test", 1080, "http://p:8080"},
      {{"--socks5-hostname", "[::1]:1081"}, fsSocks5Hostname, "::1", 1081, ""},
      {{"--socks5-hostname", "[2001:db8::1]"}, fsSocks5Hostname, "2001:db8::1", 1080, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("http://h/");
    const TFetchOptions o = ParseFetchOptions(args);
    EXPECT_EQ(c.socks, o.socks) << c.args[1];
    EXPECT_EQ(c.host, o.socks_host) << c.args[1];
    EXPECT_EQ(c.port, o.socks_port) << c.args[1];
    EXPECT_EQ(c.proxy, o.proxy) << c.args[1];
  }
  EXPECT_EQ("fred:sec:ret", ParseFetchOptions({"--proxy-user", "fred:sec:ret", "http://h/"}).proxy_user);

  const std::vector<std::string> refused[] = {
      {"--socks4", "", "http://h/"},
      {"--socks4a", "proxy.test:", "http://h/"},
      {"--socks5-hostname", "proxy.test:0", "http://h/"},
      {"--socks5-hostname", "proxy.test:65536", "http://h/"},
      {"--socks5-hostname", "proxy.test:80x", "http://h/"},
      {"--socks5-hostname", "socks5h://proxy.test", "http://h/"},
      {"--socks5-hostname"},
      {"--socks5-hostname", "[::1]x", "http://h/"},
      {"--socks5-hostname", "[]:80", "http://h/"},
      {"--socks5-hostname", "[a/b]:80", "http://h/"},
      {"--socks5-hostname", "::1", "http://h/"},
  };
  for (const auto& args : refused) {
    EXPECT_THROW(ParseFetchOptions(args), EFetchUsage) << args[1 % args.size()];
  }
}

TEST(SecondsToMilliseconds, NeverTurnsALimitIntoNone) {
  EXPECT_EQ(0, SecondsToMilliseconds(0));
  EXPECT_EQ(1, SecondsToMilliseconds(0.0001));
  EXPECT_EQ(1500, SecondsToMilliseconds(1.5));
  EXPECT_EQ(2147483647, SecondsToMilliseconds(1e12));
}

}  // namespace
}  // namespace meridian::fetch
