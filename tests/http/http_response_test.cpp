#include "http/http_response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "net/exceptions.h"
#include "rtl/streams.h"
#include "rtl/text.h"
#include "support/scripted_stream.h"
#include "transport/tcp_client.h"

namespace meridian::net {
namespace {

using testing::Pieces;
using testing::ScriptedStream;

constexpr bool kClose = true;
constexpr bool kHoldOpen = false;

// A client connected to a scripted peer, with a response record reading from
// it into a memory stream. Each reply after the first comes once Prompt has
// sent something, as a request would.
struct Session {
  Session(std::vector<std::string> replies, bool close_at_end, Pieces pieces = Pieces::Whole(),
          TNetHTTPProtocolVersion version = pv1_1)
      : stream({{std::move(replies), close_at_end}}, pieces), response(&client, [version] { return version; }) {
    client.SetIOHandler(&stream);
    client.SetHost("peer.test");
    client.SetPort(80);
    client.Connect();
    response.SetBodyStream(&body);
  }
  Session(const std::string& bytes, bool close_at_end, TNetHTTPProtocolVersion version = pv1_1)
      : Session(std::vector<std::string>{bytes}, close_at_end, Pieces::Whole(), version) {}

  // Status line and header block, skipping interim answers.
  void ReadHead() {
    do {
      response.ReadStatusLine();
      response.ReadResponseHead();
    } while (response.IsInterim());
  }
  void Prompt() { client.Write("GET / HTTP/1.1\r\n\r\n"); }
  std::string Body() const { return body.DataString(); }

  ScriptedStream stream;
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
      {"codings on two lines", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n"
                               "2\r\nhi\r\n0\r\n\r\n",
       "hi"},
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
    for (Pieces pieces : {Pieces::Whole(), Pieces::Of(1), Pieces::Random(3, 16)}) {
      SCOPED_TRACE(std::string(c.name) + ", " + pieces.Name());
      Session session({c.head_and_body, next}, kHoldOpen, pieces);
      session.ReadHead();
      session.response.ReadBody();
      EXPECT_EQ(c.body, session.Body());
      EXPECT_TRUE(session.response.ConnectionReusable());

      session.body.Clear();
      session.Prompt();
      session.ReadHead();
      session.response.ReadBody();
      EXPECT_EQ(200, session.response.StatusCode());
      EXPECT_EQ("next", session.Body());
    }
  }
}

// Each framing gives back exactly the body's bytes for sizes around the
// buffers of the connection and the output (32 and 256 KiB), whatever the
// pieces the bytes arrive in and however a chunked body is cut into chunks.
TEST(TNetHTTPResponse, EachFramingGivesBackEveryByteWhateverThePieces) {
  enum Framing : uint8_t { kLength, kChunked, kUntilClose };
  std::mt19937 random(12);
  for (const size_t size : {size_t{0}, size_t{1}, size_t{32767}, size_t{32768}, size_t{32769}, size_t{262143},
                            size_t{262145}}) {
    std::string body(size, '\0');
    for (char& c : body) c = static_cast<char>(random());
    for (const Framing framing : {kLength, kChunked, kUntilClose}) {
      std::string reply = "HTTP/1.1 200 OK\r\n";
      if (framing == kLength) reply += "Content-Length: " + std::to_string(size) + "\r\n\r\n" + body;
      if (framing == kUntilClose) reply += "Connection: close\r\n\r\n" + body;
      if (framing == kChunked) {
        reply += "Transfer-Encoding: chunked\r\n\r\n";
        // Chunks of seeded sizes, from a byte to just over the receive block.
        for (size_t at = 0; at < size;) {
          const size_t chunk = std::min(size - at, std::uniform_int_distribution<size_t>(1, 33000)(random));
          reply += rtl::Format("%zx", chunk) + "\r\n" + body.substr(at, chunk) + "\r\n";
          at += chunk;
        }
        reply += "0\r\n\r\n";
      }
      for (Pieces pieces : {Pieces::Of(1), Pieces::Of(4097), Pieces::Of(32767), Pieces::Of(32769),
                            Pieces::Random(static_cast<uint32_t>(size), 70000)}) {
        if (size > 40000 && pieces.kind == Pieces::kFixed && pieces.size == 1) continue;
        SCOPED_TRACE(std::to_string(size) + " bytes, framing " + std::to_string(framing) + ", " + pieces.Name());
        Session session({reply}, framing == kUntilClose ? kClose : kHoldOpen, pieces);
        session.ReadHead();
        session.response.ReadBody();
        ASSERT_EQ(size, session.Body().size());
        ASSERT_TRUE(body == session.Body());
        EXPECT_EQ(framing != kUntilClose, session.response.ConnectionReusable());
      }
    }
  }
}

// A peer that falls silent is a read time-out wherever the reader is: in the
// status line, the head, a chunk-size line, a chunk's data or its line end,
// the trailer, or a body framed by length or by the close. It is never taken
// for a close, a short body or a malformed one.
TEST(TNetHTTPResponse, ASilentPeerIsAReadTimeOutInEveryReader) {
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const struct {
    const char* where;
    std::string bytes;
  } cases[] = {
      {"before the status line", ""},
      {"in the status line", "HTTP/1.1 20"},
      {"in the head", "HTTP/1.1 200 OK\r\nContent-"},
      {"at a head line's end", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n"},
      {"before a chunk-size line", chunked},
      {"in a chunk-size line", chunked + "4\r\nbody\r\n1"},
      {"after a chunk-size line", chunked + "4\r\nbody\r\n10\r\n"},
      {"in a chunk's data", chunked + "4\r\nbo"},
      {"at a chunk's line end", chunked + "4\r\nbody\r"},
      {"in the trailer", chunked + "4\r\nbody\r\n0\r\nX-Sum: 1\r\n"},
      {"in a body of known length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nbo"},
      {"in a body up to the close", "HTTP/1.1 200 OK\r\n\r\nbo"},
  };
  for (const auto& c : cases) {
    // 0: the receive itself ends as a time-out; 500: the wait before it does.
    for (const int32_t read_timeout : {0, 500}) {
      for (Pieces pieces : {Pieces::Whole(), Pieces::Of(1)}) {
        SCOPED_TRACE(std::string(c.where) + ", read time-out " + std::to_string(read_timeout) + ", " + pieces.Name());
        Session session({c.bytes}, kHoldOpen, pieces);
        session.client.SetReadTimeout(read_timeout);
        EXPECT_THROW(
            {
              session.ReadHead();
              session.response.ReadBody();
            },
            ENetReadTimeout);
        EXPECT_FALSE(session.response.ConnectionReusable());
      }
    }
  }
}

// Replies of other services, or no HTTP at all, are refused and the
// connection is closed; a few empty lines before a status line are not.
TEST(TNetHTTPResponse, RefusesRepliesWithoutStatusLine) {
  const struct {
    std::string bytes;
    bool valid;
  } cases[] = {
      {"220 mail.example ESMTP ready\r\n", false},
      {"FOO BAR\r\n\r\n", false},
      {"HTTP 200 OK\r\n\r\n", false},
      {"HTTP/1.1\r\n\r\n", false},
      {"HTTP/1.1 2000 OK\r\n\r\n", false},
      {"HTTP/1.1 20 OK\r\n\r\n", false},
      {"HTTP/1.1 abc OK\r\n\r\n", false},
      {"HTTP/1.1 099 Low\r\n\r\n", false},
      {"HTTP/11 200 OK\r\n\r\n", false},
      {"Content-Length: 0\r\n\r\n", false},
      {std::string(9, '\n') + "HTTP/1.1 200 OK\r\n\r\n", false},
      {"HTTP/1.1 200\r\n\r\n", true},
      {"HTTP/1.0 404 Not Found\r\n\r\n", true},
      {"\r\n\r\nHTTP/1.1 204 No Content\r\n\r\n", true},
      {std::string(8, '\n') + "HTTP/1.1 200 OK\r\n\r\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    Session session(c.bytes, kHoldOpen);
    if (c.valid) {
      session.ReadHead();
      EXPECT_GE(session.response.StatusCode(), 200);
    } else {
      EXPECT_THROW(session.response.ReadStatusLine(), ENetHTTPInvalidStatusLine);
      EXPECT_FALSE(session.client.Connected());
      EXPECT_FALSE(session.response.ConnectionReusable());
    }
  }
}

// A length that is no plain decimal number leaves the body's end unknown.
TEST(TNetHTTPResponse, RefusesLengthsThatAreNoPlainNumber) {
  for (const char* length : {"-5", "+5", "0x10", "5 5", "", "9223372036854775808", "99999999999999999999"}) {
    SCOPED_TRACE(length);
    Session session(std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + length + "\r\n\r\nhello", kHoldOpen);
    session.response.ReadStatusLine();
    EXPECT_THROW(session.response.ReadResponseHead(), ENetHTTPMalformedResponse);
    EXPECT_FALSE(session.client.Connected());
  }
  Session largest("HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\n", kHoldOpen);
  EXPECT_NO_THROW(largest.ReadHead());
}

TEST(TNetHTTPResponse, ReportsChunkedStart) {
  Session session("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", kHoldOpen);
  std::vector<std::string> texts;
  session.client.OnStatus = [&](rtl::TComponent*, TNetStatus status, const std::string& text) {
    if (status == hsStatusText) texts.push_back(text);
  };
  session.ReadHead();
  session.response.ReadBody();
  EXPECT_EQ(std::vector<std::string>{"Chunk Started"}, texts);
}

TEST(TNetHTTPResponse, ReadsUntilCloseWithoutFraming) {
  // Without a chunked coding or a valid length the body, anything that looks
  // like chunk-size lines included, runs until the peer closes.
  for (const char* head : {"HTTP/1.0 200 OK\r\n\r\n", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nTransfer-Encoding: nochunked\r\n\r\n"}) {
    SCOPED_TRACE(head);
    Session session({std::string(head) + "5\r\nhello\r\n"}, kClose, Pieces::Of(3));
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
    Session session(c.bytes, kClose);
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
                              "Content-Length: 5\r\nContent-Length: x\r\n", "Content-Length: x, 5\r\n",
                              "Content-Length: x\r\nContent-Length: y\r\n"}) {
    SCOPED_TRACE(lengths);
    Session session(std::string("HTTP/1.1 200 OK\r\n") + lengths + "\r\nhello!", kHoldOpen);
    session.response.ReadStatusLine();
    EXPECT_THROW(session.response.ReadResponseHead(), ENetHTTPConflictingContentLength);
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
}

// Lengths agree by their number, and texts that are none by their letters.
TEST(TNetHTTPResponse, EqualLengthsWrittenAlikeOrNotAgree) {
  Session padded("HTTP/1.1 200 OK\r\nContent-Length: 05, 5\r\nContent-Length:  005 \r\n\r\nhello", kHoldOpen);
  EXPECT_NO_THROW(padded.ReadHead());
  for (const char* lengths : {"Content-Length: x, x\r\n", "Content-Length: x\r\nContent-Length: x\r\n"}) {
    SCOPED_TRACE(lengths);
    Session session(std::string("HTTP/1.1 200 OK\r\n") + lengths + "\r\nhello", kHoldOpen);
    session.response.ReadStatusLine();
    EXPECT_THROW(session.response.ReadResponseHead(), ENetHTTPMalformedResponse);
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
    Session session(c.head, kHoldOpen);
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
    Session session(bytes, kHoldOpen);
    session.ReadHead();
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
  {
    SCOPED_TRACE("no body stream, as for HEAD");
    Session session(bytes, kHoldOpen);
    session.response.SetBodyStream(nullptr);
    session.ReadHead();
    session.response.ReadBody();
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
  for (Pieces pieces : {Pieces::Whole(), Pieces::Of(1)}) {
    SCOPED_TRACE("a second response glued to the first, " + pieces.Name());
    Session session({bytes + "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nevil"}, kHoldOpen, pieces);
    session.ReadHead();
    session.response.ReadBody();
    session.client.CheckForGracefulDisconnect(false);
    EXPECT_FALSE(session.response.ConnectionReusable());
  }
  {
    SCOPED_TRACE("101 hands the connection to another protocol");
    Session session("HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n", kHoldOpen);
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
      {pv1_1, "HTTP/1.1 200 OK\r\nConnection: TE, close\r\n", false, pv1_1},
      {pv1_1, "HTTP/1.0 200 OK\r\n", true, pv1_0},
      {pv1_0, "HTTP/1.0 200 OK\r\n", false, pv1_0},
      {pv1_0, "HTTP/1.1 200 OK\r\n", false, pv1_1},
      {pv1_0, "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\n", true, pv1_0},
      {pv1_0, "http/1.0 200 OK\r\nProxy-Connection: keep-alive\r\n", true, pv1_0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    Session session(std::string(c.head) + "Content-Length: 0\r\n\r\n", kHoldOpen, c.client);
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
      kHoldOpen);
  session.ReadHead();
  session.response.ReadBody();
  EXPECT_EQ(200, session.response.StatusCode());
  EXPECT_EQ("", session.response.WireHeaders().GetValue("Link"));
  EXPECT_EQ("ok", session.Body());
}

TEST(TNetHTTPResponse, KeepsHeaderLinesAsReceived) {
  Session session("HTTP/1.1 200 OK\r\nX-Long: a\r\n  b\r\nServer: s\r\nContent-Length: 0\r\n\r\n",
                  kHoldOpen);
  session.ReadHead();
  ASSERT_EQ(4, session.response.WireHeaders().Count());
  EXPECT_EQ("  b", session.response.WireHeaders().Strings(1));
  EXPECT_EQ("a b", session.response.WireHeaders().GetValue("X-Long"));
  EXPECT_EQ("s", session.response.Server());
}

// A head that the peer's close cuts short, at a line end or inside a line, is
// no answer, whatever its status promised; the connection is closed.
TEST(TNetHTTPResponse, FailsOnHeadCutByClose) {
  for (const char* head : {"HTTP/1.1 200 OK\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n",
                           "HTTP/1.1 204 No Content\r\nX-Partial: no line end",
                           "HTTP/1.1 302 Found\r\nLocation: /next\r\n", "HTTP/1.1 404 Not Found\r\nX-A: 1\r"}) {
    for (Pieces pieces : {Pieces::Whole(), Pieces::Of(1)}) {
      SCOPED_TRACE(std::string(head) + ", " + pieces.Name());
      Session session({head}, kClose, pieces);
      session.response.ReadStatusLine();
      EXPECT_THROW(session.response.ReadResponseHead(), ENetHTTPHeadIncomplete);
      EXPECT_FALSE(session.client.Connected());
      EXPECT_FALSE(session.response.ConnectionReusable());
    }
  }
}

TEST(TNetHTTPResponse, StatusLineCutByCloseFails) {
  Session session("HTTP/1.1 20", kClose);
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
    Session session(*bytes, kHoldOpen);
    EXPECT_THROW(session.ReadHead(), ENetHTTPHeadTooLarge);
    EXPECT_FALSE(session.client.Connected());
  }
  {
    // A connection without a line limit of its own still gets one.
    Session session("HTTP/1.1 200 OK\r\nX-Endless: " + std::string(2 * kMaxResponseHeadBytes, 'e'),
                    kHoldOpen);
    session.client.SetMaxLineLength(0);
    session.response.ReadStatusLine();
    EXPECT_THROW(session.response.ReadResponseHead(), ENetReadLnMaxLineLengthExceeded);
  }
  // The bound is for one response: many of them on one connection are fine.
  std::string many;
  for (int i = 0; i < 1200; ++i) many += "HTTP/1.1 200 OK\r\n" + line + "Content-Length: 0\r\n\r\n";
  Session session(many, kHoldOpen);
  for (int i = 0; i < 1200; ++i) session.ReadHead();
  EXPECT_TRUE(session.response.ConnectionReusable());
}

TEST(TNetHTTPResponse, DrainsBodyWithoutTouchingBodyStream) {
  Session session(std::vector<std::string>{"HTTP/1.1 301 Moved\r\nTransfer-Encoding: chunked\r\n\r\n4\r\ngone\r\n0\r\n\r\n",
                   "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nhere"},
                  kHoldOpen);
  session.body.WriteBuffer("kept");
  session.ReadHead();
  session.response.DrainBody();
  EXPECT_EQ(&session.body, session.response.BodyStream());
  EXPECT_EQ("kept", session.Body());
  EXPECT_TRUE(session.response.ConnectionReusable());
  session.Prompt();
  session.ReadHead();
  session.response.ReadBody();
  EXPECT_EQ("kepthere", session.Body());
}

}  // namespace
}  // namespace meridian::net
