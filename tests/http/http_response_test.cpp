#include "http/http_response.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/scripted_peer.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "transport/tcp_client.h"

namespace meridian::net {
namespace {

using testing::ScriptedPeer;

// A client connected to a scripted peer, with a response record reading from
// it into a memory stream.
struct Session {
  Session(std::vector<std::string> pieces, ScriptedPeer::Ending ending,
          TNetHTTPProtocolVersion version = pv1_1)
      : peer(std::move(pieces), ending), response(&client, [version] { return version; }) {
    client.SetHost("127.0.0.1");
    client.SetPort(peer.Port());
    client.Connect();
    response.SetBodyStream(&body);
  }
  Session(const std::string& bytes, ScriptedPeer::Ending ending,
          TNetHTTPProtocolVersion version = pv1_1)
      : Session(std::vector<std::string>{bytes}, ending, version) {}

  // Status line and header block, skipping interim answers.
  void ReadHead() {
    do {
      response.ReadStatusLine();
      response.ReadResponseHead();
    } while (response.IsInterim());
  }
  std::string Body() const { return body.DataString(); }

  ScriptedPeer peer;
  TNetTCPClient client;
  TNetHTTPResponse response;
  rtl::TMemoryStream body;
};

TEST(TNetHTTPResponse, ParsesStatusCode) {
  struct Case {
    const char* line;
    int32_t code;
    bool interim;
  } cases[] = {
      {"HTTP/1.1 200 OK", 200, false},
      {"HTTP/1.0 404", 404, false},
      {" HTTP/1.1 301 Moved", -1, false},  // a leading blank makes the first token empty
      {"HTTP/1.1  302 Found", 302, false},
      {"HTTP/1.1 abc", -1, false},
      {"HTTP/1.1 0x1F", -1, false},
      {"HTTP/1.1 99999999999", -1, false},
      {"", -1, false},
      {"HTTP/1.1 100 Continue", 100, true},
      {"HTTP/1.1 103 Early Hints", 103, true},
      {"HTTP/1.1 101 Switching Protocols", 101, false},
  };
  TNetTCPClient client;
  TNetHTTPResponse response(&client);
  for (const Case& c : cases) {
    response.SetStatusLine(c.line);
    EXPECT_EQ(c.code, response.StatusCode()) << c.line;
    EXPECT_EQ(c.interim, response.IsInterim()) << c.line;
  }
}

// Each response is followed by a second one on the same connection, which
// must read cleanly: the first body was consumed exactly, no byte more or less.
TEST(TNetHTTPResponse, ReadsEachFramingToItsExactEnd) {
  struct Case {
    const char* name;
    std::string head_and_body;
    std::string body;
  } cases[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", "hello"},
      {"zero length", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
      {"repeated equal lengths", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 5, 5\r\n\r\nhello",
       "hello"},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", "hello"},
      {"chunked in capitals", "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
       "hello"},
      {"chunk extensions", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=x\r\nhello\r\n"
                           "6 ; a=\"b\"\r\n world\r\n0;last\r\n\r\n",
       "hello world"},
      {"chunked beats length", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n"
                               "a\r\n0123456789\r\n0\r\n\r\n",
       "0123456789"},
      {"chunked trailer", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n"
                          "X-Sum: 1\r\nX-More: 2\r\n\r\n",
       "ok"},
      {"chunk size in either case", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                    "0000B\r\nhello world\r\n0\r\n\r\n",
       "hello world"},
      {"204 ignores its zero length", "HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n", ""},
  };
  const std::string next = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nnext";
  for (const Case& c : cases) {
    for (size_t piece : {size_t{4096}, size_t{1}}) {
      SCOPED_TRACE(std::string(c.name) + (piece == 1 ? " byte by byte" : ""));
      Session session(ScriptedPeer::Split(c.head_and_body + next, piece), ScriptedPeer::kHoldOpen);
      session.ReadHead();
      session.response.ReadBody();
      EXPECT_EQ(c.body, session.Body());
      EXPECT_TRUE(session.response.ConnectionReusable());

      session.body.Clear();
      session.ReadHead();
      session.response.ReadBody();
      EXPECT_EQ(200, session.response.StatusCode());
      EXPECT_EQ("next", session.Body());
    }
  }
}

TEST(TNetHTTPResponse, ReportsChunkedStart) {
  Session session("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", ScriptedPeer::kHoldOpen);
  std::vector<std::string> texts;
  session.client.OnStatus = [&](rtl::TComponent*, TNetStatus status, const std::string& text) {
    if (status == hsStatusText) texts.push_back(text);
  };
  session.ReadHead();
  session.response.ReadBody();
  EXPECT_EQ(std::vector<std::string>{"Chunk Started"}, texts);
}

TEST(TNetHTTPResponse, ReadsUntilCloseWithoutFraming) {
  // "Chunked" misspelt is no coding this client knows: the body, size lines
  // included, runs until the peer closes.
  for (const char* head : {"HTTP/1.0 200 OK\r\n\r\n", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\n"}) {
    SCOPED_TRACE(head);
    Session session({head, "5\r\nhel", "lo\r\n"}, ScriptedPeer::kClose);
    session.ReadHead();
    session.response.ReadBody();
    EXPECT_EQ("5\r\nhello\r\n", session.Body());
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
}

TEST(TNetHTTPResponse, FailsOnBodiesThatLie) {
  struct Case {
    const char* name;
    std::string bytes;
    bool incomplete;    // else malformed chunking
    std::string kept;   // what the body stream holds afterwards
  } cases[] = {
      {"short known length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nfour", true, "four"},
      {"short chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", true, "hel"},
      {"no last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", true, "hello"},
      {"size line cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n1", true, "hello"},
      {"size not hexadecimal", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n",
       false, ""},
      {"size empty", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n\r\nhello\r\n0\r\n\r\n", false, ""},
      {"size too large", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10000000000000000\r\nx\r\n",
       false, ""},
      {"data overruns its size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nhello\r\n0\r\n\r\n",
       false, "hel"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session session(c.bytes, ScriptedPeer::kClose);
    session.ReadHead();
    if (c.incomplete) {
      EXPECT_THROW(session.response.ReadBody(), ENetHTTPBodyIncomplete);
    } else {
      EXPECT_THROW(session.response.ReadBody(), ENetHTTPInvalidChunkedBody);
    }
    EXPECT_EQ(c.kept, session.Body());
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
}

TEST(TNetHTTPResponse, RejectsConflictingContentLengths) {
  for (const char* lengths : {"Content-Length: 5\r\nContent-Length: 6\r\n", "Content-Length: 5, 6\r\n",
                              "Content-Length: 5\r\nContent-Length: x\r\n"}) {
    SCOPED_TRACE(lengths);
    Session session(std::string("HTTP/1.1 200 OK\r\n") + lengths + "\r\nhello!", ScriptedPeer::kHoldOpen);
    session.response.ReadStatusLine();
    EXPECT_THROW(session.response.ReadResponseHead(), ENetHTTPConflictingContentLength);
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
}

// A response that has no body by definition reads none, whatever its head
// announces; if it announces one, the connection is not trusted again.
TEST(TNetHTTPResponse, NeverReadsBodiesOfBodilessResponses) {
  struct Case {
    const char* head;
    bool head_request;
    bool reusable;
  } cases[] = {
      {"HTTP/1.1 204 No Content\r\n\r\n", false, true},
      {"HTTP/1.1 304 Not Modified\r\nContent-Length: 0\r\n\r\n", false, true},
      {"HTTP/1.1 200 OK\r\n\r\n", true, true},
      {"HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n", false, false},
      {"HTTP/1.1 304 Not Modified\r\nContent-Length: 1200\r\n\r\n", false, false},
      {"HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n", false, false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 1200\r\n\r\n", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    Session session(c.head, ScriptedPeer::kHoldOpen);
    session.response.SetHeadRequest(c.head_request);
    session.ReadHead();
    session.response.ReadBody();  // returns at once: nothing follows on the wire
    EXPECT_EQ("", session.Body());
    EXPECT_EQ(c.reusable, session.response.ConnectionReusable());
  }
}

TEST(TNetHTTPResponse, KeepsConnectionOnlyWhenBodyWasRead) {
  const std::string bytes = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
  {
    SCOPED_TRACE("body left unread");
    Session session(bytes, ScriptedPeer::kHoldOpen);
    session.ReadHead();
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
  {
    SCOPED_TRACE("no body stream, as for HEAD");
    Session session(bytes, ScriptedPeer::kHoldOpen);
    session.response.SetBodyStream(nullptr);
    session.ReadHead();
    session.response.ReadBody();
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
  {
    SCOPED_TRACE("101 hands the connection to another protocol");
    Session session("HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n", ScriptedPeer::kHoldOpen);
    session.ReadHead();
    session.response.ReadBody();
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
}

TEST(TNetHTTPResponse, AppliesKeepAliveRuleOfClientVersion) {
  struct Case {
    TNetHTTPProtocolVersion client;
    const char* head;
    bool reusable;
    TNetHTTPProtocolVersion status_version;
  } cases[] = {
      {pv1_1, "HTTP/1.1 200 OK\r\n", true, pv1_1},
      {pv1_1, "HTTP/1.1 200 OK\r\nConnection: close\r\n", false, pv1_1},
      {pv1_1, "HTTP/1.1 200 OK\r\nProxy-Connection: CLOSE \r\n", false, pv1_1},
      {pv1_1, "HTTP/1.0 200 OK\r\n", true, pv1_0},
      {pv1_0, "HTTP/1.0 200 OK\r\n", false, pv1_0},
      {pv1_0, "HTTP/1.1 200 OK\r\n", false, pv1_1},
      {pv1_0, "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\n", true, pv1_0},
      {pv1_0, "http/1.0 200 OK\r\nProxy-Connection: keep-alive\r\n", true, pv1_0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    Session session(std::string(c.head) + "Content-Length: 0\r\n\r\n", ScriptedPeer::kHoldOpen, c.client);
    session.ReadHead();
    EXPECT_EQ(c.reusable, session.response.ConnectionReusable());
    EXPECT_EQ(c.status_version, session.response.StatusVersion());
  }
}

TEST(TNetHTTPResponse, SkipsInterimAnswers) {
  Session session(
      "HTTP/1.1 100 Continue\r\n\r\n"
      "HTTP/1.1 103 Early Hints\r\nLink: </a.css>; rel=preload\r\n\r\n"
      "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
      ScriptedPeer::kHoldOpen);
  session.ReadHead();
  session.response.ReadBody();
  EXPECT_EQ(200, session.response.StatusCode());
  EXPECT_EQ("", session.response.WireHeaders().GetValue("Link"));
  EXPECT_EQ("ok", session.Body());
}

TEST(TNetHTTPResponse, KeepsHeaderLinesAsReceived) {
  Session session("HTTP/1.1 200 OK\r\nX-Long: a\r\n  b\r\nServer: s\r\nContent-Length: 0\r\n\r\n",
                  ScriptedPeer::kHoldOpen);
  session.ReadHead();
  ASSERT_EQ(4, session.response.WireHeaders().Count());
  EXPECT_EQ("  b", session.response.WireHeaders().Strings(1));
  EXPECT_EQ("a b", session.response.WireHeaders().GetValue("X-Long"));
  EXPECT_EQ("s", session.response.Server());
}

TEST(TNetHTTPResponse, TakesHeadCutByCloseAsRead) {
  for (const char* tail : {"", "X-Partial: no line end"}) {
    SCOPED_TRACE(tail);
    Session session(std::string("HTTP/1.1 302 Found\r\nLocation: /next\r\n") + tail, ScriptedPeer::kClose);
    session.ReadHead();
    EXPECT_EQ("/next", session.response.Location());
    EXPECT_FALSE(session.client.Connected());
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
}

TEST(TNetHTTPResponse, StatusLineCutByCloseFails) {
  Session session("HTTP/1.1 20", ScriptedPeer::kClose);
  EXPECT_THROW(session.response.ReadStatusLine(), ENetConnClosedGracefully);
}

TEST(TNetHTTPResponse, BoundsResponseHead) {
  const std::string line = "X-Filler: " + std::string(1000, 'f') + "\r\n";
  std::string endless_head = "HTTP/1.1 200 OK\r\n";
  while (endless_head.size() <= 2 * kMaxResponseHeadBytes) endless_head += line;
  std::string endless_interims;
  while (endless_interims.size() <= 2 * kMaxResponseHeadBytes) {
    endless_interims += "HTTP/1.1 103 Early Hints\r\n" + line + "\r\n";
  }
  for (const std::string* bytes : {&endless_head, &endless_interims}) {
    Session session(*bytes, ScriptedPeer::kHoldOpen);
    EXPECT_THROW(session.ReadHead(), ENetHTTPHeadTooLarge);
    EXPECT_FALSE(session.client.Connected());
  }
  // The bound is for one response: many of them on one connection are fine.
  std::string many;
  for (int i = 0; i < 1200; ++i) many += "HTTP/1.1 200 OK\r\n" + line + "Content-Length: 0\r\n\r\n";
  Session session(many, ScriptedPeer::kHoldOpen);
  for (int i = 0; i < 1200; ++i) session.ReadHead();
  EXPECT_TRUE(session.response.ConnectionReusable());
}

TEST(TNetHTTPResponse, DrainsBodyWithoutTouchingBodyStream) {
  Session session(
      "HTTP/1.1 301 Moved\r\nTransfer-Encoding: chunked\r\n\r\n4\r\ngone\r\n0\r\n\r\n"
      "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nhere",
      ScriptedPeer::kHoldOpen);
  session.body.WriteBuffer("kept");
  session.ReadHead();
  session.response.DrainBody();
  EXPECT_EQ(&session.body, session.response.BodyStream());
  EXPECT_EQ("kept", session.Body());
  EXPECT_TRUE(session.response.ConnectionReusable());
  session.ReadHead();
  session.response.ReadBody();
  EXPECT_EQ("kepthere", session.Body());
}

}  // namespace
}  // namespace meridian::net
