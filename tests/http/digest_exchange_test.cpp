// The HTTP client answering Digest challenges of a scripted server that
// checks each answer against the values of RFC 7616, section 3.9.1.
#include <gtest/gtest.h>

#include <string>

#include "auth/digest_authentication.h"
#include "http/http_client.h"
#include "http/loopback_server.h"
#include "http/proxy_connection_info.h"
#include "net/exceptions.h"

namespace meridian::net {
namespace {

using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::Response;

constexpr const char* kNonce = "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v";
constexpr const char* kCNonce = "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ";
constexpr const char* kOpaque = "FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS";
constexpr const char* kSHA256Response = "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1";
constexpr const char* kMD5Response = "8ca523f5e9506fed4657c9700eebdbec";

std::string ChallengeLine(const std::string& algorithm, const std::string& nonce, bool stale = false) {
  return "WWW-Authenticate: Digest realm=\"http-auth@example.org\", qop=\"auth, auth-int\", algorithm=" +
         algorithm + ", nonce=\"" + nonce + "\", opaque=\"" + kOpaque + "\"" + (stale ? ", stale=true" : "") + "\r\n";
}

Reply Unauthorized(const std::string& lines) { return {Response("HTTP/1.1 401 Unauthorized", "no", lines)}; }

std::string Authorization(const ReceivedRequest& request, const char* name = "Authorization") {
  const std::string key = std::string("\r\n") + name + ": ";
  const size_t at = request.head.find(key);
  if (at == std::string::npos) return {};
  const size_t start = at + key.size();
  return request.head.substr(start, request.head.find("\r\n", start) - start);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class DigestExchange : public ::testing::Test {
 protected:
  void SetUp() override {
    TNetHTTP registers;  // registers Digest
    if (!TNetDigestAuthentication::Available()) GTEST_SKIP() << "OpenSSL's crypto library is not available";
  }

  // The RFC's user, and its client nonce for the first answer.
  static void Answer(TNetHTTP& http, std::string password = "Circle of Life") {
    http.SetHTTPOptions({hoInProcessAuth});
    http.OnAuthorization = [password](rtl::TComponent*, TNetAuthentication& scheme, bool& handled) {
      auto* digest = dynamic_cast<TNetDigestAuthentication*>(&scheme);
      ASSERT_NE(nullptr, digest);
      digest->SetUsername("Mufasa");
      digest->SetPassword(password);
      digest->SetClientNonce(kCNonce);
      handled = true;
    };
  }
};

TEST_F(DigestExchange, AnswersWithTheRFCResponse) {
  struct Case {
    std::string challenges;
    const char* response;
  } cases[] = {
      {ChallengeLine("MD5", kNonce) + ChallengeLine("SHA-256", kNonce), kSHA256Response},
      {ChallengeLine("MD5", kNonce) + "WWW-Authenticate: Basic realm=\"x\"\r\n", kMD5Response},
  };
  for (const Case& c : cases) {
    LoopbackServer server([&](const ReceivedRequest& request, size_t index) -> Reply {
      if (index == 0) return Unauthorized(c.challenges);
      const bool right = Has(Authorization(request), std::string("response=\"") + c.response + "\"");
      return right ? Reply{Response("HTTP/1.1 200 OK", "the page")} : Unauthorized(c.challenges);
    });
    TNetHTTP http;
    Answer(http);
    EXPECT_EQ("the page", http.Get(server.Url("/dir/index.html")));
    ASSERT_EQ(2u, server.Requests().size());
    const std::string answer = Authorization(server.Requests()[1]);
    EXPECT_TRUE(Has(answer, "uri=\"/dir/index.html\"")) << answer;
    EXPECT_TRUE(Has(answer, "nc=00000001, qop=auth")) << answer;
    EXPECT_TRUE(Has(answer, std::string("opaque=\"") + kOpaque + "\"")) << answer;
    EXPECT_EQ("", Authorization(server.Requests()[0]));
  }
}

TEST_F(DigestExchange, KeptConnectionCountsTheNonceOn) {
  const std::string challenge = ChallengeLine("SHA-256", kNonce);
  LoopbackServer server([&](const ReceivedRequest& request, size_t index) -> Reply {
    if (index == 0) return Unauthorized(challenge);
    return {Response("HTTP/1.1 200 OK", Authorization(request))};
  });
  TNetHTTP http;
  Answer(http);
  EXPECT_TRUE(Has(http.Get(server.Url("/dir/index.html")), "nc=00000001"));
  const std::string second = http.Get(server.Url("/other?q=1"));
  EXPECT_TRUE(Has(second, "nc=00000002")) << second;
  EXPECT_TRUE(Has(second, "uri=\"/other?q=1\"")) << second;
  EXPECT_EQ(1, server.Connections());
}

TEST_F(DigestExchange, StaleNonceIsAnsweredOnceMore) {
  LoopbackServer server([&](const ReceivedRequest& request, size_t index) -> Reply {
    switch (index) {
      case 0:
        return Unauthorized(ChallengeLine("MD5", "old"));
      case 1:
        return Unauthorized(ChallengeLine("MD5", "fresh", true));
      default:
        return Has(Authorization(request), "nonce=\"fresh\"") && Has(Authorization(request), "nc=00000001")
                   ? Reply{Response("HTTP/1.1 200 OK", "fresh page")}
                   : Unauthorized(ChallengeLine("MD5", "fresh"));
    }
  });
  TNetHTTP http;
  Answer(http);
  EXPECT_EQ("fresh page", http.Get(server.Url("/dir/index.html")));
  EXPECT_EQ(3u, server.Requests().size());
}

TEST_F(DigestExchange, RefusedAnswerEndsWithTheStatus) {
  // A wrong password is answered once; the second 401 (not stale) ends the
  // request although AuthRetries would allow more.
  LoopbackServer server([&](const ReceivedRequest&, size_t) { return Unauthorized(ChallengeLine("MD5", kNonce)); });
  TNetHTTP http;
  Answer(http, "wrong");
  try {
    http.Get(server.Url("/dir/index.html"));
    FAIL();
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(401, e.ReplyErrorCode());
  }
  EXPECT_EQ(2u, server.Requests().size());
  // A server that calls every nonce stale meets the AuthRetries bound.
  LoopbackServer stale([&](const ReceivedRequest&, size_t index) {
    return Unauthorized(ChallengeLine("MD5", "n" + std::to_string(index), true));
  });
  TNetHTTP again;
  Answer(again);
  EXPECT_THROW(again.Get(stale.Url("/")), ENetHTTPProtocolException);
  EXPECT_EQ(static_cast<size_t>(again.AuthRetries()) + 1, stale.Requests().size());
}

TEST_F(DigestExchange, ProxyIsAnsweredWithTheAbsoluteTarget) {
  const std::string challenge =
      "Proxy-Authenticate: Digest realm=\"proxy\", nonce=\"pn\", qop=\"auth\", algorithm=SHA-256\r\n";
  LoopbackServer proxy([&](const ReceivedRequest& request, size_t index) -> Reply {
    if (index == 0) return {Response("HTTP/1.1 407 Proxy Authentication Required", "no", challenge)};
    return {Response("HTTP/1.1 200 OK", Authorization(request, "Proxy-Authorization"))};
  });
  TNetHTTP http;
  http.ProxyParams().SetProxyServer("127.0.0.1");
  http.ProxyParams().SetProxyPort(proxy.Port());
  http.SetHTTPOptions({hoInProcessAuth});
  http.OnProxyAuthorization = [](rtl::TComponent*, TNetAuthentication& scheme, bool& handled) {
    scheme.SetUsername("pu");
    scheme.SetPassword("pp");
    handled = true;
  };
  const std::string answer = http.Get("http://origin.test/page");
  // The uri is the target of the request line, whatever form it has.
  const std::string head = proxy.Requests()[1].head;
  const std::string target = head.substr(4, head.find(" HTTP/") - 4);
  EXPECT_TRUE(Has(answer, "Digest username=\"pu\", realm=\"proxy\", nonce=\"pn\", uri=\"" + target + "\""))
      << answer;
  EXPECT_TRUE(Has(target, "http://origin.test")) << target;
  EXPECT_TRUE(Has(answer, "algorithm=SHA-256")) << answer;
}

}  // namespace
}  // namespace meridian::net
