#include "http/response_header_info.h"

#include <gtest/gtest.h>

#include <vector>

namespace meridian::net {
namespace {

using Lines = std::vector<std::string>;

void SetWire(TNetResponseHeaderInfo& record, std::initializer_list<const char*> lines) {
  record.WireHeaders().Clear();
  for (const char* line : lines) record.WireHeaders().Add(line);
}

TEST(TNetResponseHeaderInfo, ContentRangeRules) {
  const struct {
    const char* line;
    uint32_t start, end;
  } cases[] = {
      {"Content-Range: bytes 0-499/1000", 0, 499},
      {"Content-Range: bytes 500-999/*", 500, 999},
      {"Content-Range: bytes 500-999", 500, 999},
      {"Content-Range: bytes 4294967295-4294967295/*", 4294967295u, 4294967295u},
      // Regression: a 416 answer's 'bytes */1000' failed the whole parse and
      // hid the status; its bounds now read as 0.
      {"Content-Range: bytes */1000", 0, 0},
      {"Content-Range: bytes x-y/z", 0, 0},
      {"Content-Range: bytes", 0, 0},
  };
  for (const auto& c : cases) {
    TNetResponseHeaderInfo response;
    SetWire(response, {c.line, "Content-Type: text/plain", "Content-Length: 12"});
    ASSERT_NO_THROW(response.ParseHeaders()) << c.line;
    EXPECT_EQ(c.start, response.ContentRangeStart()) << c.line;
    EXPECT_EQ(c.end, response.ContentRangeEnd()) << c.line;
    // The rest of the head is still read.
    EXPECT_EQ("text/plain", response.ContentType()) << c.line;
    EXPECT_EQ(12, response.ContentLength()) << c.line;
  }
}

TEST(TNetResponseHeaderInfo, CollectsEveryChallengeInOrder) {
  TNetResponseHeaderInfo response;
  SetWire(response, {"WWW-Authenticate: Basic realm=\"a\"", "Server: s", "www-authenticate: Digest realm=\"b\",",
                     "  nonce=\"n\"", "Proxy-Authenticate: Basic realm=\"p\""});
  response.ParseHeaders();
  EXPECT_EQ((Lines{"Basic realm=\"a\"", "Digest realm=\"b\", nonce=\"n\""}), response.WWWAuthenticate().Lines());
  EXPECT_EQ((Lines{"Basic realm=\"p\""}), response.ProxyAuthenticate().Lines());
  EXPECT_EQ("s", response.Server());

  // The next parse starts the lists over.
  SetWire(response, {"WWW-Authenticate: Basic realm=\"c\""});
  response.ParseHeaders();
  EXPECT_EQ((Lines{"Basic realm=\"c\""}), response.WWWAuthenticate().Lines());
  EXPECT_EQ(0, response.ProxyAuthenticate().Count());
  EXPECT_EQ("", response.Server());
}

TEST(TNetResponseHeaderInfo, ParsesItsFieldsAndClearsThem) {
  TNetResponseHeaderInfo response;
  SetWire(response, {"Location: /next", "Server: srv", "Proxy-Connection: close", "Connection: keep-alive",
                     "WWW-Authenticate: Basic"});
  response.ParseHeaders();
  EXPECT_EQ("/next", response.Location());
  EXPECT_EQ("srv", response.Server());
  EXPECT_EQ("close", response.ProxyConnection());
  EXPECT_EQ("keep-alive", response.Connection());

  response.Clear();
  EXPECT_EQ("", response.Location());
  EXPECT_EQ("", response.Server());
  EXPECT_EQ("close", response.ProxyConnection());  // not one of the cleared fields
  EXPECT_EQ("", response.Connection());
  EXPECT_EQ(0, response.WWWAuthenticate().Count());
  EXPECT_EQ(0, response.WireHeaders().Count());
}

TEST(TNetResponseHeaderInfo, ComposesOnlyTheEntityPart) {
  TNetResponseHeaderInfo response;
  response.SetLocation("/x");
  response.SetServer("s");
  response.SetContentLength(3);
  response.ComposeHeaders();
  EXPECT_EQ((Lines{"Content-Type: text/html", "Content-Length: 3"}), response.WireHeaders().Lines());

  TNetHeaderList challenges;
  challenges.Add("Basic realm=\"r\"");
  response.SetWWWAuthenticate(challenges);
  response.SetProxyAuthenticate(challenges);
  challenges.Clear();
  EXPECT_EQ(1, response.WWWAuthenticate().Count());
  EXPECT_EQ(1, response.ProxyAuthenticate().Count());
}

}  // namespace
}  // namespace meridian::net
