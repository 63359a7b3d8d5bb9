#include "cookie_file.h"

#include <gtest/gtest.h>

#include <string>

#include "http/cookie_manager.h"
#include "uri/uri.h"

namespace meridian::fetch {
namespace {

std::string CookiesFor(net::TNetCookieManager& manager, const std::string& host, const std::string& path) {
  return manager.CookieHeaderFor(host, path, false);
}

TEST(CookieFile, ReadsTheFieldsAndScopesEachCookie) {
  const std::string in(
      "# Netscape HTTP Cookie File\n"
      "\n"
      ".area.test\tTRUE\t/\tFALSE\t0\twide\t1\n"
      "node.area.test\tFALSE\t/app/\tFALSE\t4102444800\tnarrow\t2\r\n"
      "#HttpOnly_node.area.test\tFALSE\t/\tFALSE\t0\thidden\t3\n"
      "node.area.test\tFALSE\t/\tTRUE\t0\tsecret\t4\n"
      "node.area.test\tFALSE\t/\tFALSE\t1000\texpired\t5\n"  // 1970
      "broken line without tabs\n"
      "node.area.test\tFALSE\t/\tFALSE\tsoon\tbad_expiry\t6\n");
  net::TNetCookieManager manager;
  EXPECT_EQ(4, ReadCookieFile(in, manager));

  EXPECT_EQ("narrow=2; hidden=3; wide=1", CookiesFor(manager, "node.area.test", "/app/"));
  EXPECT_EQ("wide=1", CookiesFor(manager, "other.area.test", "/"));
  // Host-only cookies never leak to a host that merely contains the name.
  EXPECT_EQ("", CookiesFor(manager, "node.area.test.evil.example", "/app/"));
  EXPECT_EQ("narrow=2; hidden=3; secret=4; wide=1", manager.CookieHeaderFor("node.area.test", "/app/", true));
}

TEST(CookieFile, SurvivesAWriteAndReadBack) {
  net::TNetCookieManager first;
  first.AcceptSetCookie("sid=abc; path=/; expires=Fri, 01 Jan 2100 00:00:00 GMT", "node.area.test");
  first.AcceptSetCookie("wide=1; domain=.area.test; path=/", "node.area.test");
  first.AcceptSetCookie("gone=1; path=/; expires=Thu, 01 Jan 1970 00:00:10 GMT", "node.area.test");
  const std::string text = CookieFileText(first);
  EXPECT_NE(std::string::npos, text.find("node.area.test\tFALSE\t/\tFALSE\t4102444800\tsid\tabc\n")) << text;
  EXPECT_NE(std::string::npos, text.find(".area.test\tTRUE\t/\tFALSE\t0\twide\t1\n")) << text;
  EXPECT_EQ(std::string::npos, text.find("gone")) << text;

  net::TNetCookieManager second;
  EXPECT_EQ(2, ReadCookieFile(text, second));
  EXPECT_EQ(CookiesFor(first, "node.area.test", "/"), CookiesFor(second, "node.area.test", "/"));
}

}  // namespace
}  // namespace meridian::fetch
