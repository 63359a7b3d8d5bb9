#include "http/redirect_method.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/http_client.h"
#include "http/loopback_server.h"
#include "net/exceptions.h"
#include "rtl/streams.h"

namespace meridian::net {
namespace {

using testing::LoopbackServer;
using testing::Reply;
using testing::Response;

const TNetRedirectMethodRules kCurrent{rrRewrite};

TEST(RedirectedMethod, KeepsTheMethodUnlessTheRulesAreOn) {
  struct Case {
    TNetRedirectMethodRules rules;
    TNetHTTPMethod method;
    int32_t status;
    TNetHTTPMethod expected;
  };
  const std::vector<Case> cases = {
      {{}, hmPost, 301, hmPost},
      {{}, hmPost, 303, hmPost},
      {{}, hmPut, 303, hmPut},
      {kCurrent, hmPost, 301, hmGet},
      {kCurrent, hmPost, 302, hmGet},
      {kCurrent, hmPost, 303, hmGet},
      {kCurrent, hmPut, 301, hmPut},
      {kCurrent, hmPut, 302, hmPut},
      {kCurrent, hmPut, 303, hmGet},
      {kCurrent, hmDelete, 303, hmGet},
      {kCurrent, hmOptions, 303, hmGet},
      {kCurrent, hmHead, 303, hmHead},
      {kCurrent, hmHead, 301, hmHead},
      {kCurrent, hmGet, 303, hmGet},
      {kCurrent, hmPost, 307, hmPost},
      {kCurrent, hmPost, 308, hmPost},
      {kCurrent, hmPut, 307, hmPut},
      {kCurrent, hmPost, 300, hmPost},
      {kCurrent, hmPost, 201, hmPost},  // a Location on another status
      {{rrRewrite, rrKeepPost301}, hmPost, 301, hmPost},
      {{rrRewrite, rrKeepPost301}, hmPost, 302, hmGet},
      {{rrRewrite, rrKeepPost302}, hmPost, 302, hmPost},
      {{rrRewrite, rrKeepPost303}, hmPost, 303, hmPost},
      {{rrRewrite, rrKeepPost303}, hmPut, 303, hmGet},
      {{rrKeepPost301}, hmPut, 303, hmPut},  // the keep rules alone change nothing
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, RedirectedMethod(c.method, c.status, c.rules))
        << "method " << int(c.method) << " status " << c.status;
  }
}

bool HasLine(const testing::ReceivedRequest& request, const std::string& name) {
  return request.head.find("\r\n" + name + ":") != std::string::npos;
}

std::string FirstLine(const testing::ReceivedRequest& request) { return request.head.substr(0, request.head.find("\r\n")); }

// A redirect of `status` to /next, then the final page.
LoopbackServer RedirectOnce(int32_t status) {
  return LoopbackServer([status](const testing::ReceivedRequest&, size_t index) {
    if (index == 0) {
      return Reply{Response("HTTP/1.1 " + std::to_string(status) + " Redirect", "", "Location: /next\r\n")};
    }
    return Reply{Response("HTTP/1.1 200 OK", "done")};
  });
}

TEST(TNetHTTP, FollowedRedirectSendsTheMethodAndBodyTheRulesLeave) {
  struct Case {
    TNetRedirectMethodRules rules;
    TNetHTTPMethod method;
    int32_t status;
    std::string request_line;  // of the request after the redirect
    bool body;                 // with the body, its Content-Length and Content-Type
  };
  const std::vector<Case> cases = {
      {{}, hmPost, 303, "POST /next HTTP/1.1", true},
      {{}, hmPut, 302, "PUT /next HTTP/1.1", true},
      {kCurrent, hmPost, 301, "GET /next HTTP/1.1", false},
      {kCurrent, hmPost, 302, "GET /next HTTP/1.1", false},
      {kCurrent, hmPost, 303, "GET /next HTTP/1.1", false},
      {kCurrent, hmPut, 303, "GET /next HTTP/1.1", false},
      {kCurrent, hmPut, 301, "PUT /next HTTP/1.1", true},
      {kCurrent, hmPost, 307, "POST /next HTTP/1.1", true},
      {kCurrent, hmPut, 308, "PUT /next HTTP/1.1", true},
      {{rrRewrite, rrKeepPost302}, hmPost, 302, "POST /next HTTP/1.1", true},
  };
  for (const Case& c : cases) {
    LoopbackServer server = RedirectOnce(c.status);
    TNetHTTP http;
    http.SetHandleRedirects(true);
    http.SetRedirectMethodRules(c.rules);
    http.Request().SetContentType("application/x-www-form-urlencoded");
    rtl::TMemoryStream upload("a=1&b=2");
    rtl::TMemoryStream body;
    http.PerformRequest(c.method, server.Url("/form"), &upload, &body);
    const auto requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    const std::string shown = c.request_line + " after " + std::to_string(c.status);
    EXPECT_EQ(c.request_line, FirstLine(requests[1])) << shown;
    EXPECT_EQ(c.body ? "a=1&b=2" : "", requests[1].body) << shown;
    EXPECT_EQ(c.body, HasLine(requests[1], "Content-Length")) << shown;
    EXPECT_EQ(c.body, HasLine(requests[1], "Content-Type")) << shown;
    EXPECT_EQ("done", body.DataString()) << shown;
  }
}

TEST(TNetHTTP, HeadStaysHeadAfterA303) {
  LoopbackServer server = RedirectOnce(303);
  TNetHTTP http;
  http.SetHandleRedirects(true);
  http.SetRedirectMethodRules(kCurrent);
  http.PerformRequest(hmHead, server.Url("/x"), nullptr, nullptr);
  EXPECT_EQ("HEAD /next HTTP/1.1", FirstLine(server.Requests().at(1)));
}

TEST(TNetHTTP, OnRedirectSeesTheRuledMethodAndHasTheLastWord) {
  LoopbackServer server = RedirectOnce(303);
  TNetHTTP http;
  http.SetHandleRedirects(true);
  http.SetRedirectMethodRules(kCurrent);
  std::vector<TNetHTTPMethod> offered;
  http.OnRedirect = [&](rtl::TComponent*, std::string&, int32_t&, bool&, TNetHTTPMethod& method) {
    offered.push_back(method);
    method = hmPost;
  };
  rtl::TMemoryStream upload("kept");
  http.PerformRequest(hmPost, server.Url("/x"), &upload, nullptr);
  EXPECT_EQ(std::vector<TNetHTTPMethod>{hmGet}, offered);
  EXPECT_EQ("POST /next HTTP/1.1", FirstLine(server.Requests().at(1)));
  EXPECT_EQ("kept", server.Requests().at(1).body);
}

TEST(TNetHTTP, ABodyDroppedByOneRequestReturnsWithTheNext) {
  LoopbackServer server([](const testing::ReceivedRequest&, size_t index) {
    if (index == 0) return Reply{Response("HTTP/1.1 303 See Other", "", "Location: /next\r\n")};
    return Reply{Response("HTTP/1.1 200 OK", "done")};
  });
  TNetHTTP http;
  http.SetHandleRedirects(true);
  http.SetRedirectMethodRules(kCurrent);
  http.Request().SetContentType("application/x-www-form-urlencoded");
  rtl::TMemoryStream upload("a=1");
  http.PerformRequest(hmPost, server.Url("/x"), &upload, nullptr);
  http.PerformRequest(hmPost, server.Url("/y"), &upload, nullptr);
  const auto requests = server.Requests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_FALSE(HasLine(requests[1], "Content-Type"));
  EXPECT_EQ("POST /y HTTP/1.1", FirstLine(requests[2]));
  EXPECT_TRUE(HasLine(requests[2], "Content-Type"));
  EXPECT_EQ("a=1", requests[2].body);
}

// An upload that can be read once from its start and never sought back.
class OneWayStream : public rtl::TMemoryStream {
 public:
  using rtl::TMemoryStream::TMemoryStream;
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override {
    const int64_t position = rtl::TMemoryStream::Seek(0, rtl::soCurrent);
    if (origin == rtl::soBeginning && offset == 0 && position > 0) return -1;
    return rtl::TMemoryStream::Seek(offset, origin);
  }
};

TEST(TNetHTTP, ARedirectThatKeepsTheBodyNeedsAStreamThatRewinds) {
  for (const int32_t status : {307, 308, 303}) {
    LoopbackServer server = RedirectOnce(status);
    TNetHTTP http;
    http.SetHandleRedirects(true);
    http.SetRedirectMethodRules(kCurrent);
    OneWayStream upload("once");
    if (status == 303) {
      // The body is dropped: nothing to rewind.
      http.PerformRequest(hmPost, server.Url("/x"), &upload, nullptr);
      EXPECT_EQ(2u, server.Requests().size());
      continue;
    }
    EXPECT_THROW(http.PerformRequest(hmPost, server.Url("/x"), &upload, nullptr), ENetHTTPUploadNotRewindable)
        << status;
    EXPECT_EQ(1u, server.Requests().size()) << status;
    EXPECT_EQ(0, http.RedirectCount());
  }
}

TEST(TNetHTTP, AKeptAliveConnectionClosedBeforeAnAnswerCarriesTheRequestOnceMore) {
  // The second request finds its connection closed without an answer: it
  // goes again on a new one, body and all.
  LoopbackServer server({{Response("HTTP/1.1 200 OK", "first")}, {"", true}, {Response("HTTP/1.1 200 OK", "second")}});
  TNetHTTP http;
  EXPECT_EQ("first", http.Get(server.Url("/1")));
  rtl::TMemoryStream upload("data");
  rtl::TMemoryStream body;
  http.PerformRequest(hmPost, server.Url("/2"), &upload, &body);
  EXPECT_EQ("second", body.DataString());
  const auto requests = server.Requests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_EQ("data", requests[2].body);
  EXPECT_EQ(2, server.Connections());

  // Only once, and never on a connection opened for the request itself.
  LoopbackServer closing({{Response("HTTP/1.1 200 OK", "first")}, {"", true}, {"", true}});
  TNetHTTP again;
  EXPECT_EQ("first", again.Get(closing.Url("/1")));
  EXPECT_THROW(again.Get(closing.Url("/2")), ENetConnClosedGracefully);
  EXPECT_EQ(3u, closing.Requests().size());

  LoopbackServer fresh({{"", true}});
  TNetHTTP first;
  EXPECT_THROW(first.Get(fresh.Url("/1")), ENetConnClosedGracefully);
  EXPECT_EQ(1u, fresh.Requests().size());
}

}  // namespace
}  // namespace meridian::net
