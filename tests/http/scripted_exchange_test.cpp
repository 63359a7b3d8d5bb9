// Whole exchanges of the HTTP client against the scripted stream: what the
// client does with every byte pattern and every failure of the transport.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "auth/auth_registry.h"
#include "auth/basic_authentication.h"
#include "http/http_client.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "support/scripted_stream.h"

namespace meridian::net {
namespace {

using testing::Pieces;
using testing::ScriptedConnection;
using testing::ScriptedStream;

// A redirect, a Basic challenge answered in place, a second redirect, then a
// chunked body, all on one kept connection.
std::vector<ScriptedConnection> RedirectsChallengeThenChunked() {
  return {{{"HTTP/1.1 302 Found\r\nLocation: /c\r\nContent-Length: 0\r\n\r\n",
            "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\nContent-Length: 5\r\n\r\nlogin",
            "HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 5\r\n\r\nmoved",
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n3\r\n!!!\r\n0\r\n\r\n"},
           false}};
}

// The requests in what the client sent on one connection.
std::vector<std::string> Requests(const std::string& sent) {
  std::vector<std::string> requests;
  for (size_t at = 0; at < sent.size();) {
    const size_t end = sent.find("\r\n\r\n", at);
    if (end == std::string::npos) break;
    requests.push_back(sent.substr(at, end + 2 - at));
    at = end + 4;
  }
  return requests;
}

std::string Fetch(ScriptedStream& stream) {
  TNetHTTP http;
  http.SetIOHandler(&stream);
  http.SetHandleRedirects(true);
  // Without it an answered challenge ends the request with the challenge's page.
  http.SetHTTPOptions({hoInProcessAuth});
  http.OnAuthorization = [](rtl::TComponent*, TNetAuthentication& authentication, bool& handled) {
    EXPECT_NE(nullptr, dynamic_cast<TNetBasicAuthentication*>(&authentication));
    authentication.SetUsername("user");
    authentication.SetPassword("secret");
    handled = true;
  };
  return http.Get("http://peer.test/a");
}

// Failing each connect, receive and send in turn never ends in a success, and
// the failed exchange always leaves its connection closed.
TEST(ScriptedExchange, FailingAnyOperationFailsTheExchange) {
  ASSERT_NE(nullptr, FindAuthScheme("Basic"));
  for (Pieces pieces : {Pieces::Whole(), Pieces::Of(7)}) {
    ScriptedStream clean(RedirectsChallengeThenChunked(), pieces);
    ASSERT_EQ("body!!!", Fetch(clean)) << pieces.Name();
    ASSERT_EQ(1u, clean.Targets().size());
    // The answer to the challenge went to the URL that challenged.
    const std::vector<std::string> requests = Requests(clean.Sent()[0]);
    ASSERT_EQ(4u, requests.size());
    const char* const lines[] = {"GET /a ", "GET /c ", "GET /c ", "GET /b "};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(0u, requests[i].find(lines[i])) << requests[i];
    EXPECT_NE(std::string::npos, requests[2].find("\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\n"));
    const int64_t operations = clean.Operations(ScriptedStream::opAny);
    ASSERT_GT(operations, 8);
    for (int64_t n = 1; n <= operations; ++n) {
      SCOPED_TRACE(pieces.Name() + ", operation " + std::to_string(n));
      ScriptedStream stream(RedirectsChallengeThenChunked(), pieces);
      stream.FailAt(ScriptedStream::opAny, n);
      EXPECT_THROW(Fetch(stream), ENetSocketError);
      EXPECT_TRUE(stream.Failed());
      EXPECT_FALSE(stream.Connected());
    }
  }
}

// Bytes beyond a complete response answer no request: the next request goes
// out on a new connection and gets its own answer.
TEST(ScriptedExchange, BytesBeyondAResponseAreNeverTakenAsTheNextAnswer) {
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
  for (Pieces pieces : {Pieces::Whole(), Pieces::Of(1), Pieces::Random(5, 9)}) {
    SCOPED_TRACE(pieces.Name());
    ScriptedStream stream({{{ok + "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nevil"}, false},
                           {{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ngood"}, false}},
                          pieces);
    TNetHTTP http;
    http.SetIOHandler(&stream);
    EXPECT_EQ("ok", http.Get("http://peer.test/a"));
    EXPECT_EQ("good", http.Get("http://peer.test/b"));
    EXPECT_EQ(2u, stream.Targets().size());
  }
  // Without stray bytes the connection carries both requests.
  ScriptedStream kept({{{ok, ok}, false}}, Pieces::Of(3));
  TNetHTTP http;
  http.SetIOHandler(&kept);
  EXPECT_EQ("ok", http.Get("http://peer.test/a"));
  EXPECT_EQ("ok", http.Get("http://peer.test/b"));
  EXPECT_EQ(1u, kept.Targets().size());
}

// An answer that comes after the client gave up waiting for it answers no
// later request: the connection it would come on is not used again.
TEST(ScriptedExchange, AnAnswerAfterATimeOutNeverAnswersTheNextRequest) {
  for (const char* before : {"\r\n", "HTTP/1.1 200 OK\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nla"}) {
    SCOPED_TRACE(before);
    // The first connection stays silent after `before`; the next request on
    // it would release the late rest of the answer.
    ScriptedStream stream({{{before, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nlate"}, false},
                           {{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ngood"}, false}});
    TNetHTTP http;
    http.SetIOHandler(&stream);
    EXPECT_THROW(http.Get("http://peer.test/a"), ENetReadTimeout);
    EXPECT_EQ("good", http.Get("http://peer.test/b"));
    EXPECT_EQ(2u, stream.Targets().size());
  }
}

}  // namespace
}  // namespace meridian::net
