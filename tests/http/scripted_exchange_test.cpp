// Whole exchanges of the HTTP client against the scripted stream: what the
// client does with every byte pattern and every failure of the transport.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// Two redirects, then a chunked body, all
// on one kept connection.
std::vector<ScriptedConnection> RedirectsThenChunked() {
  return {{{"HTTP/1.1 302 Found\r\nLocation: /c\r\nContent-Length: 0\r\n\r\n",
            "HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 5\r\n\r\nmoved",
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n3\r\n!!!\r\n0\r\n\r\n"},
           false}};
}

std::string Fetch(ScriptedStream& stream) {
  TNetHTTP http;
  http.SetIOHandler(&stream);
  http.SetHandleRedirects(true);
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
  for (Pieces pieces : {Pieces::Whole(), Pieces::Of(7)}) {
    ScriptedStream clean(RedirectsThenChunked(), pieces);
    ASSERT_EQ("body!!!", Fetch(clean)) << pieces.Name();
    ASSERT_EQ(1u, clean.Targets().size());
    const int64_t operations = clean.Operations(ScriptedStream::opAny);
    ASSERT_GT(operations, 6);
    for (int64_t n = 1; n <= operations; ++n) {
      SCOPED_TRACE(pieces.Name() + ", operation " + std::to_string(n));
      ScriptedStream stream(RedirectsThenChunked(), pieces);
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

}  // namespace
}  // namespace meridian::net
