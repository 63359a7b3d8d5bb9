#include "http/request_header_info.h"

#include <gtest/gtest.h>

#include <vector>

#include "auth/basic_authentication.h"
#include "coders/encoder.h"
#include "http/proxy_connection_info.h"
#include "rtl/exceptions.h"
#include "support/zone_scope.h"

namespace meridian::net {
namespace {

using Lines = std::vector<std::string>;

TEST(TNetRequestHeaderInfo, FreshRecordComposesExactlyItsThreeLines) {
  TNetRequestHeaderInfo request;
  request.ComposeHeaders();
  EXPECT_EQ((Lines{"Content-Type: text/html", "Accept: text/html, */*",
                   "User-Agent: Mozilla/3.0 (compatible; Meridian Library)"}),
            request.WireHeaders().Lines());

  request.SetHost("example.com:9000");
  request.ComposeHeaders();
  EXPECT_EQ((Lines{"Content-Type: text/html", "Host: example.com:9000", "Accept: text/html, */*",
                   "User-Agent: Mozilla/3.0 (compatible; Meridian Library)"}),
            request.WireHeaders().Lines());
}

TEST(TNetRequestHeaderInfo, ComposesEveryLineInOrder) {
  const testing::ZoneScope zone(testing::kNineEast);
  TNetRequestHeaderInfo request;
  request.SetPragma("no-cache");
  request.CustomHeaders().Add("X-A: 1");
  request.SetProxyConnection("keep-alive");
  request.SetHost("h");
  request.SetAcceptCharSet("utf-8");
  request.SetAcceptEncoding("identity");
  request.SetAcceptLanguage("en");
  request.SetFrom("me@example.com");
  request.SetReferer("http://r/");
  request.SetLastModified(rtl::EncodeDate(2026, 12, 8) + rtl::EncodeTime(13, 5, 9, 0));
  request.SetContentRangeStart(100);
  request.ComposeHeaders();
  EXPECT_EQ((Lines{
                "Content-Type: text/html",
                "Pragma: no-cache",
                "X-A: 1",
                "Proxy-Connection: keep-alive",
                "Host: h",
                "Accept: text/html, */*",
                "Accept-Charset: utf-8",
                "Accept-Encoding: identity",
                "Accept-Language: en",
                "From: me@example.com",
                "Referer: http://r/",
                "User-Agent: Mozilla/3.0 (compatible; Meridian Library)",
                "If-Modified-Since: Tue, 8 Dec 2026 13:05:09 +0900",
                "Range: bytes=100-",
            }),
            request.WireHeaders().Lines());
}

TEST(TNetRequestHeaderInfo, EmptyFieldsLeaveCustomLinesOfTheSameName) {
  TNetRequestHeaderInfo request;
  request.CustomHeaders().Add("Host: custom");
  request.CustomHeaders().Add("Accept: custom/*");
  request.ComposeHeaders();
  // Host is empty: the custom line stays; Accept has a value: it replaces it.
  EXPECT_EQ((Lines{"Content-Type: text/html", "Host: custom", "Accept: text/html, */*",
                   "User-Agent: Mozilla/3.0 (compatible; Meridian Library)"}),
            request.WireHeaders().Lines());
}

TEST(TNetRequestHeaderInfo, RangeParsesAndComposesBack) {
  const struct {
    const char* line;
    uint32_t start, end;
    const char* composed;  // empty: no Range line
  } cases[] = {
      {"Range: bytes=100-", 100, 0, "bytes=100-"},
      {"Range: bytes=100-200", 100, 200, "bytes=100-200"},
      {"Range: bytes=100-200 x", 100, 200, "bytes=100-200"},
      {"Range: bytes=-500", 0, 500, "bytes=0-500"},
      {"Range: bytes=a-b", 0, 0, ""},
      {"Range: bytes=0-0", 0, 0, ""},
      {"Range: 7", 0, 0, ""},
      {"Range: bytes=99999999999-1", 0, 1, "bytes=0-1"},
  };
  for (const auto& c : cases) {
    TNetRequestHeaderInfo request;
    request.WireHeaders().Add(c.line);
    request.ParseHeaders();
    EXPECT_EQ(c.start, request.ContentRangeStart()) << c.line;
    EXPECT_EQ(c.end, request.ContentRangeEnd()) << c.line;
    request.ComposeHeaders();
    EXPECT_EQ(c.composed, request.WireHeaders().GetValue("Range")) << c.line;
  }
}

TEST(TNetRequestHeaderInfo, ParsesItsOwnLines) {
  TNetRequestHeaderInfo request;
  for (const char* line : {"Accept: a/b", "Accept-Charset: c", "Accept-Encoding: e", "Accept-Language: l",
                           "Host: h", "From: f", "Referer: r", "User-Agent: u", "Content-Type: t/u"}) {
    request.WireHeaders().Add(line);
  }
  request.ParseHeaders();
  EXPECT_EQ("a/b", request.Accept());
  EXPECT_EQ("c", request.AcceptCharSet());
  EXPECT_EQ("e", request.AcceptEncoding());
  EXPECT_EQ("l", request.AcceptLanguage());
  EXPECT_EQ("h", request.Host());
  EXPECT_EQ("f", request.From());
  EXPECT_EQ("r", request.Referer());
  EXPECT_EQ("u", request.UserAgent());
  EXPECT_EQ("t/u", request.ContentType());
}

TEST(TNetRequestHeaderInfo, BasicAuthenticationCreatesAndKeepsAScheme) {
  TNetRequestHeaderInfo request;
  request.SetUsername("Aladdin");
  request.SetPassword("open sesame");
  request.ComposeHeaders();
  EXPECT_EQ(-1, request.WireHeaders().FindName("Authorization"));
  EXPECT_EQ(nullptr, request.Authenticator());

  request.SetBasicAuthentication(true);
  request.ComposeHeaders();
  EXPECT_EQ("Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==", request.WireHeaders().GetValue("Authorization"));
  ASSERT_NE(nullptr, request.Authenticator());
  EXPECT_EQ("TNetBasicAuthentication", request.Authenticator()->ClassName());

  // The attached scheme now decides, whatever the record's own credentials.
  request.SetUsername("other");
  request.SetBasicAuthentication(false);
  request.ComposeHeaders();
  EXPECT_EQ("Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==", request.WireHeaders().GetValue("Authorization"));

  auto scheme = std::make_unique<TNetBasicAuthentication>();
  scheme->SetUsername("u");
  request.SetAuthenticator(std::move(scheme));
  request.ComposeHeaders();
  EXPECT_EQ("Basic dTo=", request.WireHeaders().GetValue("Authorization"));
  request.SetAuthenticator(nullptr);
  request.ComposeHeaders();
  EXPECT_EQ(-1, request.WireHeaders().FindName("Authorization"));
}

TEST(TNetRequestHeaderInfo, CredentialsOfAnyLengthTravelWhole) {
  // Past the header list's fold width of 78, and with blanks at both ends.
  const std::string user = " " + std::string(150, 'u') + " x";
  const std::string password = std::string(300, 'p') + " y ";
  const std::string expected = "Basic " + TNetEncoder::EncodeText<TNetEncoderMIME>(user + ":" + password);

  TNetRequestHeaderInfo request;
  request.SetUsername(user);
  request.SetPassword(password);
  request.SetBasicAuthentication(true);
  request.ComposeHeaders();
  EXPECT_EQ(expected, request.WireHeaders().GetValue("Authorization"));

  TNetProxyConnectionInfo proxy;
  proxy.SetProxyUsername(user);
  proxy.SetProxyPassword(password);
  proxy.SetBasicAuthentication(true);
  proxy.ComposeHeaders(request.WireHeaders());
  EXPECT_EQ(expected, request.WireHeaders().GetValue("Proxy-Authorization"));
  ASSERT_NE(nullptr, proxy.Authenticator());
  EXPECT_EQ(password, proxy.Authenticator()->Password());
  // A request's lines are never folded.
  for (const std::string& line : request.WireHeaders().Lines()) {
    EXPECT_FALSE(TNetHeaderList::IsContinuationLine(line)) << line;
  }
}

TEST(TNetRequestHeaderInfo, ClearRestoresDefaultsAndKeepsTheRest) {
  TNetRequestHeaderInfo request;
  request.SetAccept("x");
  request.SetAcceptCharSet("y");
  request.SetUserAgent("z");
  request.SetBasicAuthentication(true);
  request.SetAcceptEncoding("gzip");
  request.SetUsername("u");
  request.SetHost("h");
  request.SetContentType("a/b");
  request.Clear();
  EXPECT_EQ("text/html, */*", request.Accept());
  EXPECT_EQ("", request.AcceptCharSet());
  EXPECT_EQ("Mozilla/3.0 (compatible; Meridian Library)", request.UserAgent());
  EXPECT_FALSE(request.BasicAuthentication());
  EXPECT_EQ("text/html", request.ContentType());
  EXPECT_EQ("gzip", request.AcceptEncoding());
  EXPECT_EQ("u", request.Username());
  EXPECT_EQ("h", request.Host());
}

TEST(TNetRequestHeaderInfo, AssignCopiesRequestFieldsAndLeavesTheRest) {
  TNetRequestHeaderInfo source;
  source.SetAccept("a");
  source.SetAcceptCharSet("c");
  source.SetAcceptEncoding("e");
  source.SetAcceptLanguage("l");
  source.SetFrom("f");
  source.SetPassword("p");
  source.SetReferer("r");
  source.SetUserAgent("ua");
  source.SetUsername("u");
  source.SetBasicAuthentication(true);
  source.SetHost("source-host");
  source.SetContentType("source/type");
  source.SetContentLength(9);
  source.SetProxyConnection("close");

  TNetRequestHeaderInfo target;
  target.SetHost("target-host");
  target.SetContentType("target/type");
  auto scheme = std::make_unique<TNetBasicAuthentication>();
  TNetAuthentication* const kept = scheme.get();
  target.SetAuthenticator(std::move(scheme));

  target.Assign(source);
  EXPECT_EQ("a", target.Accept());
  EXPECT_EQ("c", target.AcceptCharSet());
  EXPECT_EQ("e", target.AcceptEncoding());
  EXPECT_EQ("l", target.AcceptLanguage());
  EXPECT_EQ("f", target.From());
  EXPECT_EQ("p", target.Password());
  EXPECT_EQ("r", target.Referer());
  EXPECT_EQ("ua", target.UserAgent());
  EXPECT_EQ("u", target.Username());
  EXPECT_TRUE(target.BasicAuthentication());
  EXPECT_EQ("target-host", target.Host());
  EXPECT_EQ("target/type", target.ContentType());
  EXPECT_EQ(kept, target.Authenticator());
  EXPECT_EQ(-1, target.ContentLength());
  EXPECT_EQ("", target.ProxyConnection());

  try {
    TNetProxyConnectionInfo proxy;
    proxy.Assign(source);
    FAIL();
  } catch (const rtl::EAssignError& e) {
    EXPECT_EQ("Cannot assign a TNetRequestHeaderInfo to a TNetProxyConnectionInfo.", e.Message());
  }
}

}  // namespace
}  // namespace meridian::net
