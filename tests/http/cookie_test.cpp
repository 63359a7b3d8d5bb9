#include "http/cookie.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "net/exceptions.h"
#include "rtl/exceptions.h"

namespace meridian::net {
namespace {

const char* const kPast = "Thu, 01 Jan 1970 00:00:00 GMT";

TEST(TNetCookieRFC2109, ParsesNameValueAndAttributes) {
  struct Case {
    const char* text;
    const char* name;
    const char* value;
    const char* path;
    const char* domain;
    bool secure;
  };
  const Case cases[] = {
      {"SID=abc; path=/; domain=.area.test", "SID", "abc", "/", ".area.test", false},
      {"a=b=c", "a", "b=c", "", "", false},
      {"  S=1 ;secure", "S", "1", "", "", true},
      {"S=1; Secure=yes", "S", "1", "", "", false},  // a flag carries no value
      {"P=1; Path=\"/x/\"", "P", "1", "/x/", "", false},
      {"P=1; path=/a/; PATH=/b/", "P", "1", "/a/", "", false},  // the first wins
      {"q=\"a;b\"; path=/", "q", "\"a", "/", "", false},         // no quoting
      {"flag; domain=node.area.test;", "flag", "", "", "node.area.test", false},
      {"", "", "", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TNetCookieRFC2109 cookie;
    cookie.SetSourceText(c.text);
    EXPECT_EQ(c.text, cookie.SourceText());
    EXPECT_EQ(c.name, cookie.CookieName());
    EXPECT_EQ(c.value, cookie.CookieValue());
    EXPECT_EQ(c.path, cookie.Path());
    EXPECT_EQ(c.domain, cookie.Domain());
    EXPECT_EQ(c.secure, cookie.Secure());
  }
}

TEST(TNetCookieRFC2109, ExpiryDecidesFlavourAndMaxAge) {
  TNetCookieRFC2109 expires;
  expires.SetSourceText(std::string("E=1; expires=") + kPast + "; version=1; comment=c");
  EXPECT_EQ(kPast, expires.ExpiresText());
  EXPECT_EQ(1, expires.Flavour());
  EXPECT_EQ(-1, expires.MaxAge());  // no Max-Age attribute replaces the computed one
  EXPECT_EQ("1", expires.Version());
  EXPECT_EQ("c", expires.Comment());
  EXPECT_TRUE(expires.Expired());

  TNetCookieRFC2109 max_age;
  max_age.SetSourceText("M=1; max-age=60");
  EXPECT_EQ(0, max_age.Flavour());
  EXPECT_FALSE(max_age.ExpiresText().empty());
  EXPECT_FALSE(max_age.Expired());
  EXPECT_GE(max_age.MaxAge(), 58);
  EXPECT_LE(max_age.MaxAge(), 60);

  TNetCookieRFC2109 session;
  session.SetSourceText("M=1; max-age=soon");
  EXPECT_EQ(0, session.Flavour());
  EXPECT_EQ(-1, session.MaxAge());
  EXPECT_EQ("", session.ExpiresText());

  // A Netscape cookie keeps its flavour and has no Max-Age to compute.
  TNetNetscapeCookie netscape;
  netscape.SetSourceText(std::string("E=1; expires=") + kPast);
  EXPECT_EQ(0, netscape.Flavour());
  EXPECT_EQ(kPast, netscape.ExpiresText());
}

TEST(TNetCookieRFC2109, HugeMaxAgeIsClampedToTheLastDate) {
  for (const char* age : {"9223372036854775807", "315537897599", "99999999999999"}) {
    SCOPED_TRACE(age);
    TNetCookieRFC2109 cookie;
    cookie.SetSourceText(std::string("M=1; max-age=") + age);
    EXPECT_NE(std::string::npos, cookie.ExpiresText().find("Dec 9999 23:59:59")) << cookie.ExpiresText();
    EXPECT_GT(cookie.MaxAge(), 0);
    EXPECT_FALSE(cookie.Expired());
  }
  TNetCookieRFC2109 too_long;
  too_long.SetSourceText("M=1; max-age=99999999999999999999");
  EXPECT_EQ(-1, too_long.MaxAge());
  EXPECT_EQ("", too_long.ExpiresText());
}

TEST(TNetNetscapeCookie, ExpiresAtTheDateInLocalTime) {
  const rtl::TDateTime east9 = 9.0 / 24;
  const rtl::TDateTime second = 1.0 / rtl::kSecondsPerDay;
  // 15:00 UTC is midnight of the next day nine hours east.
  const rtl::TDateTime midnight = rtl::EncodeDate(2026, 12, 9);
  struct Case {
    const char* expires;
    rtl::TDateTime offset;
    rtl::TDateTime expiry;
  };
  const Case cases[] = {
      {"Tue, 08 Dec 2026 10:00:00 -0500", east9, midnight},
      {"Tue, 08 Dec 2026 15:00:00 GMT", east9, midnight},
      {"Tuesday, 08-Dec-26 15:00:00 GMT", east9, midnight},
      {"Tue, 08 Dec 2026 15:00:00 GMT", 0, midnight - east9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expires);
    TNetNetscapeCookie cookie;
    cookie.SetExpiresText(c.expires);
    EXPECT_FALSE(cookie.ExpiredAt(c.expiry - second, c.offset));
    EXPECT_TRUE(cookie.ExpiredAt(c.expiry, c.offset));
  }
  TNetNetscapeCookie session;
  EXPECT_FALSE(session.ExpiredAt(1e9, 0));
}

TEST(TNetCookieRFC2109, UnreadableExpiryCountsAsPast) {
  TNetCookieRFC2109 cookie;
  cookie.SetSourceText("E=1; expires=whenever");
  EXPECT_EQ("whenever", cookie.ExpiresText());
  EXPECT_TRUE(cookie.Expired());
  cookie.SetMaxAge(30);
  cookie.SetExpiresText("Mon, 32 Foo 2001");
  EXPECT_EQ(30, cookie.MaxAge());
  cookie.SetExpiresText("Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_LT(cookie.MaxAge(), -1700000000);
}

TEST(TNetCookieRFC2109, WritesItselfBack) {
  struct Case {
    const char* text;
    const char* server_text;
  };
  const Case cases[] = {
      {"SID=abc; path=/; domain=.area.test; secure", "SID=abc; path=/; domain=.area.test; secure"},
      {"N=; secure", "secure"},
      {"V=1; Comment=hi; Version=1", "V=1; comment=hi; version=1"},
      // A received expiry date is not written back by RFC 2109 cookies.
      {"E=1; expires=Thu, 01 Jan 1970 00:00:00 GMT", "E=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TNetCookieRFC2109 cookie;
    cookie.SetSourceText(c.text);
    EXPECT_EQ(c.server_text, cookie.ServerText());
  }

  TNetCookieRFC2109 cookie;
  cookie.SetSourceText("M=1; max-age=60");
  EXPECT_EQ("M=1; expires=" + cookie.ExpiresText(), cookie.ServerText());
  EXPECT_EQ("M=1", cookie.ClientText());
  cookie.SetExpiresText("");
  cookie.SetMaxAge(30);
  EXPECT_EQ("M=1; max-age=30", cookie.ServerText());
}

TEST(TNetCookieRFC2965, ReadsPortsDiscardAndCommentURL) {
  struct Case {
    const char* text;
    std::vector<int32_t> ports;
  };
  const Case cases[] = {
      {"C=1", {80}},
      {"C=1; Port", {80}},
      {"C=1; Port=\"\"", {80}},
      {"C=1; Port=\"8080\"", {8080}},
      {"C=1; port=\"80, 8080\"", {80, 8080}},
      {"C=1; Port=8080", {}},  // unquoted: left as it was
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TNetCookieRFC2965 cookie;
    cookie.SetSourceText(c.text);
    EXPECT_EQ(c.ports, cookie.Ports());
  }

  TNetCookieRFC2965 cookie;
  cookie.SetSourceText("C=1; Discard; CommentURL=http://node.area.test/why; Port=\"81\"");
  EXPECT_TRUE(cookie.Discard());
  EXPECT_EQ("http://node.area.test/why", cookie.CommentURL());
  // A bad list raises and keeps the ports already read.
  EXPECT_THROW(cookie.SetSourceText("C=1; Port=\"80,eighty\""), rtl::EConvertError);
  EXPECT_EQ(std::vector<int32_t>{81}, cookie.Ports());
  EXPECT_THROW(cookie.SetSourceText("C=1; Port=\",80\""), rtl::EConvertError);
}

TEST(TNetCookieRFC2965, SetPortChecksTheIndex) {
  TNetCookieRFC2965 cookie;
  cookie.SetPort(0, 80);
  cookie.SetPort(1, 443);
  cookie.SetPort(0, 8080);
  EXPECT_EQ((std::vector<int32_t>{8080, 443}), cookie.Ports());
  EXPECT_THROW(cookie.SetPort(-1, 1), ENetException);
  EXPECT_THROW(cookie.SetPort(3, 1), ENetException);
  try {
    cookie.SetPort(5, 1);
  } catch (const ENetException& e) {
    EXPECT_EQ("Index out of range.", e.Message());
  }
}

TEST(TNetNetscapeCookie, IsValidForTheHostOrTheDomainAboveIt) {
  struct Case {
    const char* domain;
    const char* host;
    bool valid;
  };
  const Case cases[] = {
      {".area.test", "node.area.test", true},
      {".area.test", "node.sub.area.test", false},  // two levels up
      {"node.area.test", "node.area.test", true},
      {"other.test", "node.area.test", false},
      {".test", "area.test", true},
      {".area.test", "area.test", false},
      {"10.0.0.1", "10.0.0.1", true},
      {".0.0.1", "10.0.0.1", false},
      {"10.0.0.1", "node.area.test", false},
      {".AREA.test", ".area.test", true},  // a host beginning with "." ignores case
      {".area.test", ".other.test", false},
      {"", "node.area.test", false},
      // An IPv6 address names itself only (hex digits in either case).
      {"::1", "::1", true},
      {"2001:DB8::7", "2001:db8::7", true},
      {".2.3.4", "::ffff:1.2.3.4", false},
      {"::ffff:1.2.3.4", "::ffff:1.2.3.4", true},
      {".1", "::1", false},
      {"[::1]", "::1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.domain) + " from " + c.host);
    TNetNetscapeCookie cookie;
    cookie.SetDomain(c.domain);
    EXPECT_EQ(c.valid, cookie.IsValidFor(c.host));
  }
}

TEST(IsIPv4Address, AcceptsFourNumbersUpTo255) {
  struct Case {
    const char* text;
    bool address;
  };
  const Case cases[] = {
      {"127.0.0.1", true}, {" 10.0.0.255 ", true}, {"256.0.0.1", false}, {"1.2.3", false},
      {"1.2.3.", false},   {"1.2.3.4.5", false},   {"1..2.3", false},    {"a.b.c.d", false},
      {"1.2.3.-4", false}, {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.address, IsIPv4Address(c.text)) << c.text;
  }
}

TEST(TNetNetscapeCookie, AssignTakesOverTheWholeCookie) {
  TNetCookieRFC2109 stored;
  stored.SetSourceText("A=1; path=/");
  stored.SetDomain("node.area.test");

  // An expiry date the server sends to end a cookie survives the take-over.
  TNetCookieRFC2109 ending;
  ending.SetSourceText(std::string("A=; expires=") + kPast);
  ending.SetDomain("node.area.test");
  stored.Assign(ending);
  EXPECT_EQ("A", stored.CookieName());
  EXPECT_EQ("", stored.CookieValue());
  EXPECT_EQ(kPast, stored.ExpiresText());
  EXPECT_EQ(1, stored.Flavour());
  EXPECT_EQ("", stored.Path());

  TNetCookieRFC2965 ported;
  ported.SetSourceText("A=2; Port=\"81\"; Discard");
  TNetCookieRFC2965 target;
  target.Assign(ported);
  EXPECT_EQ(std::vector<int32_t>{81}, target.Ports());
  EXPECT_TRUE(target.Discard());
  target.Assign(stored);  // an RFC 2109 source carries no ports
  EXPECT_EQ(std::vector<int32_t>{80}, target.Ports());
  EXPECT_FALSE(target.Discard());

  // A Netscape cookie is no source.
  TNetNetscapeCookie netscape;
  netscape.SetSourceText("A=3");
  target.Assign(netscape);
  EXPECT_EQ("", target.CookieValue());
}

}  // namespace
}  // namespace meridian::net
