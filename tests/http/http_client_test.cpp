#include "http/http_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "coders/encoder.h"
#include "http/cookie_manager.h"
#include "http/loopback_server.h"
#include "http/scripted_peer.h"
#include "http/proxy_connection_info.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "support/scripted_stream.h"
#include "transport/io_handler_socket.h"
#include "uri/uri.h"

namespace meridian::net {
namespace {

using testing::LoopbackServer;
using testing::Reply;
using testing::Pieces;
using testing::Response;
using testing::ScriptedStream;

const std::string kUserAgent = "User-Agent: Mozilla/3.0 (compatible; Meridian Library)\r\n";

std::string HostLine(const LoopbackServer& server) {
  return "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n";
}

// The request line of a received head.
std::string RequestLine(const testing::ReceivedRequest& request) {
  return request.head.substr(0, request.head.find("\r\n"));
}

bool HasHeader(const testing::ReceivedRequest& request, const std::string& line) {
  return request.head.find("\r\n" + line + "\r\n") != std::string::npos;
}

// The piece patterns of the tests that are about bytes, not timing: the
// scripted stream delivers each reply whole, a byte at a time, or in seeded
// random pieces.
const testing::Pieces kPieces[] = {testing::Pieces::Whole(), testing::Pieces::Of(1), testing::Pieces::Random(4, 11)};

Reply Ok(const std::string& body, const std::string& headers = "") {
  return {Response("HTTP/1.1 200 OK", body, headers)};
}

TEST(TNetHTTP, FreshGetSendsExactHeadAndReturnsBodyBytes) {
  const char raw[] = "line 1\r\nbinary \x00\xff\x80 end";
  const std::string body(raw, sizeof raw - 1);
  LoopbackServer server({Ok(body)});
  TNetHTTP http;
  EXPECT_EQ(body, http.Get(server.Url("/Update/Contents/Update_Contents.txt")));

  auto requests = server.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("GET /Update/Contents/Update_Contents.txt HTTP/1.1\r\n"
            "Content-Type: text/html\r\n" +
                HostLine(server) + "Accept: text/html, */*\r\n" + kUserAgent + "\r\n",
            requests[0].head);
  EXPECT_EQ(200, http.Response().StatusCode());
  EXPECT_EQ(0, http.RedirectCount());
}

TEST(TNetHTTP, Http10SendsKeepAliveFirstAndKeepsOnlyWhenTheServerAgrees) {
  LoopbackServer server({Ok("one", "Connection: Keep-Alive\r\n"), Ok("two"), Ok("three")});
  TNetHTTP http;
  http.SetProtocolVersion(pv1_0);
  EXPECT_EQ("one", http.Get(server.Url("/a.txt")));
  EXPECT_TRUE(http.Connected());
  EXPECT_EQ("two", http.Get(server.Url("/b.txt")));
  EXPECT_FALSE(http.Connected());  // no keep-alive in the answer under 1.0
  EXPECT_EQ("three", http.Get(server.Url("/c.txt")));

  auto requests = server.Requests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_EQ("GET /a.txt HTTP/1.0\r\nConnection: keep-alive\r\nContent-Type: text/html\r\n" +
                HostLine(server) + "Accept: text/html, */*\r\n" + kUserAgent + "\r\n",
            requests[0].head);
  EXPECT_EQ(1, requests[1].connection);
  EXPECT_EQ(2, requests[2].connection);
}

TEST(TNetHTTP, OneConnectionServesSeveralGets) {
  LoopbackServer server({Ok("a"), Ok(""), Ok("c")});
  TNetHTTP http;
  rtl::TMemoryStream stream;
  http.Get(server.Url("/1"), stream);
  http.Get(server.Url("/2"), stream);
  http.Get(server.Url("/3"), stream);
  EXPECT_EQ("ac", stream.DataString());  // each body lands at the stream's position
  EXPECT_EQ(1, server.Connections());
  for (const auto& request : server.Requests()) EXPECT_EQ(1, request.connection);
}

// Stands in for a connect: records where the client was about to go.
struct ConnectStopped {};

TEST(TNetHTTP, PortCarriesOverOnlyToUrlsWithoutHost) {
  LoopbackServer server({Ok("1"), Ok("2"), {Response("HTTP/1.1 302 Found", "", "Location: http://localhost/x\r\n")}});
  TNetHTTP http;
  http.SetHandleRedirects(true);
  int32_t connect_port = 0;
  http.OnStatus = [&](rtl::TComponent*, TNetStatus status, const std::string&) {
    if (status != hsConnecting) return;
    connect_port = http.Port();
    if (connect_port != server.Port()) throw ConnectStopped();
  };
  http.Get(server.Url("/dir/first.txt"));
  // No host, no port: the previous request's port is kept.
  EXPECT_EQ("2", http.Get("second.txt"));
  EXPECT_EQ("GET /dir/second.txt HTTP/1.1", RequestLine(server.Requests()[1]));
  EXPECT_TRUE(HasHeader(server.Requests()[1], "Host: 127.0.0.1:" + std::to_string(server.Port())));

  // A host without a port, named by the caller or by a redirect: port 80.
  EXPECT_THROW(http.Get("http://127.0.0.1/dir/third.txt"), ConnectStopped);
  EXPECT_EQ(80, connect_port);
  http.Disconnect();
  EXPECT_THROW(http.Get(server.Url("/jump")), ConnectStopped);
  EXPECT_EQ(80, connect_port);
  EXPECT_EQ("localhost", http.TargetURI().Host());
  EXPECT_EQ("80", http.TargetURI().Port());
  EXPECT_EQ(3u, server.Requests().size());
}

TEST(TNetHTTP, RelativeUrlsResolveAgainstTheLastDirectory) {
  struct Case {
    std::string url;
    std::string expected_line;
  };
  const std::vector<Case> cases = {
      {"/a/b/c.txt", "GET /a/b/c.txt HTTP/1.1"},
      {"d/e.txt", "GET /a/b/d/e.txt HTTP/1.1"},
      {"/a/b/c.txt", "GET /a/b/c.txt HTTP/1.1"},
      {"../f.txt", "GET /a/f.txt HTTP/1.1"},
      {"./g//h.txt?x=1", "GET /a/./g/h.txt?x=1 HTTP/1.1"},
      {"/", "GET / HTTP/1.1"},
  };
  LoopbackServer server([](const testing::ReceivedRequest&, size_t) { return Ok("x"); });
  TNetHTTP http;
  http.Get(server.Url("/start"));
  for (const Case& c : cases) {
    http.Get(c.url);
    EXPECT_EQ(c.expected_line, RequestLine(server.Requests().back())) << c.url;
  }
}

TEST(TNetHTTP, InterimResponsesAreSkipped) {
  for (const std::string interim : {"HTTP/1.1 100 Continue\r\n\r\n",
                                    "HTTP/1.1 103 Early Hints\r\nLink: </s.css>\r\n\r\n",
                                    "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\n"}) {
    for (Pieces pieces : kPieces) {
      SCOPED_TRACE(interim + pieces.Name());
      ScriptedStream stream(ScriptedStream::Once(interim + Response("HTTP/1.1 200 OK", "final")), pieces);
      TNetHTTP http;
      http.SetIOHandler(&stream);
      EXPECT_EQ("final", http.Get("http://peer.test/x"));
      EXPECT_EQ(200, http.Response().StatusCode());
    }
  }
}

TEST(TNetHTTP, UnhandledStatusesRaiseWithTheStatusLineAndErrorPage) {
  struct Case {
    std::string reply;
    int32_t code;
    std::string message;
    std::string page;
  };
  const std::vector<Case> cases = {
      {Response("HTTP/1.1 404 Not Found", "<h1>gone</h1>"), 404, "HTTP/1.1 404 Not Found", "<h1>gone</h1>"},
      {"HTTP/1.1 304 Not Modified\r\n\r\n", 304, "HTTP/1.1 304 Not Modified", ""},
      {Response("HTTP/1.1 302 Found", "moved", "Location: /elsewhere\r\n"), 302, "HTTP/1.1 302 Found",
       "moved"},
      {Response("HTTP/1.1 201 Created", "made", "Location: /new/1\r\n"), 201, "HTTP/1.1 201 Created", "made"},
      {Response("HTTP/1.1 500 Internal Server Error", "oops"), 500, "HTTP/1.1 500 Internal Server Error",
       "oops"},
      {"HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n", 101, "HTTP/1.1 101 Switching Protocols", ""},
  };
  for (const Case& c : cases) {
    LoopbackServer server({{c.reply}});
    TNetHTTP http;
    rtl::TMemoryStream stream;
    stream.WriteBuffer("kept");
    try {
      http.Get(server.Url("/x"), stream);
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (const ENetHTTPProtocolException& e) {
      EXPECT_EQ(c.code, e.ReplyErrorCode());
      EXPECT_EQ(c.message, e.Message());
      EXPECT_EQ(c.page, e.ResponseBody()) << c.message;
    }
    EXPECT_EQ("kept", stream.DataString()) << c.message;
    EXPECT_EQ(c.code, http.Response().StatusCode());
    EXPECT_EQ(0, http.RedirectCount());
  }
}

TEST(TNetHTTP, UnreadBodiesAreReadOnlyUpToTheirBoundsElseTheConnectionCloses) {
  const std::string max_page(static_cast<size_t>(kMaxErrorPageBytes), 'p');
  const std::string max_drain(64 * 1024, 'd');
  struct Case {
    const char* name;
    std::string reply;
    bool follow;
    std::string page;  // the ResponseBody of an error status
    int connections;   // for this request and the next
  };
  const std::vector<Case> cases = {
      {"page at the bound", Response("HTTP/1.1 404 Not Found", max_page), false, max_page, 1},
      {"page one beyond", Response("HTTP/1.1 404 Not Found", max_page + "q"), false, max_page, 2},
      {"page until close one beyond", "HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\n" + max_page + "q", false,
       max_page, 2},
      {"redirect body at the bound", Response("HTTP/1.1 302 Found", max_drain, "Location: /next\r\n"), true, "", 1},
      {"redirect body one beyond", Response("HTTP/1.1 302 Found", max_drain + "e", "Location: /next\r\n"), true, "",
       2},
  };
  for (const Case& c : cases) {
    const bool closes = c.reply.find("Connection: close") != std::string::npos;
    LoopbackServer server({{c.reply, closes}, Ok("next"), Ok("next")});
    TNetHTTP http;
    http.SetHandleRedirects(c.follow);
    try {
      EXPECT_EQ("next", http.Get(server.Url("/x"))) << c.name;
      EXPECT_TRUE(c.follow) << c.name;
    } catch (const ENetHTTPProtocolException& e) {
      EXPECT_FALSE(c.follow) << c.name;
      EXPECT_TRUE(c.page == e.ResponseBody()) << c.name << ": " << e.ResponseBody().size();
    }
    if (!c.follow) {
      EXPECT_EQ("next", http.Get(server.Url("/next"))) << c.name;
    }
    EXPECT_EQ(c.connections, server.Connections()) << c.name;
  }
}

TEST(TNetHTTP, ADrainEndsWithinItsTimeAndNeverOutlastsTheCallersTimeOut) {
  LoopbackServer next({Ok("next")});
  // A redirect whose body trickles in for ten seconds: the drain gives up
  // after its four and the redirect is followed on a new connection.
  std::vector<std::string> pieces(100, "x");
  pieces.insert(pieces.begin(), "HTTP/1.1 302 Found\r\nLocation: " + next.Url("/next") +
                                    "\r\nContent-Length: 100\r\n\r\n");
  testing::ScriptedPeer trickle(pieces, testing::ScriptedPeer::kHoldOpen, std::chrono::milliseconds(100));
  TNetHTTP http;
  http.SetHandleRedirects(true);
  std::string body;
  const auto start = std::chrono::steady_clock::now();
  body = http.Get("http://127.0.0.1:" + std::to_string(trickle.Port()) + "/x");
  EXPECT_EQ("next", body);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));

  // A stalled redirect body under a shorter time-out of the caller's is the
  // caller's time-out, not a quiet end of the drain.
  LoopbackServer stalled({{"HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 10\r\n\r\nabc"}});
  http.SetReadTimeout(300);
  EXPECT_THROW(http.Get(stalled.Url("/x")), ENetReadTimeout);
}

TEST(TNetHTTP, RedirectsAreFollowedUpToTheMaximum) {
  LoopbackServer server([](const testing::ReceivedRequest&, size_t index) {
    return Reply{Response("HTTP/1.1 302 Found", "hop body",
                          "Location: /hop" + std::to_string(index + 1) + "\r\n")};
  });
  TNetHTTP http;
  http.SetHandleRedirects(true);
  rtl::TMemoryStream stream;
  http.Get(server.Url("/hop0"), stream);  // the 15th redirect ends the request quietly

  auto requests = server.Requests();
  ASSERT_EQ(15u, requests.size());
  EXPECT_EQ("GET /hop14 HTTP/1.1", RequestLine(requests[14]));
  EXPECT_EQ(0, stream.Size());
  EXPECT_EQ(302, http.Response().StatusCode());
  EXPECT_EQ("/hop15", http.Response().Location());
  EXPECT_EQ(1, server.Connections());  // drained bodies keep the connection usable
}

TEST(TNetHTTP, OnRedirectDecidesAndMayRewriteTheLocation) {
  LoopbackServer server({{Response("HTTP/1.1 301 Moved", "", "Location: /old\r\n")}, Ok("new body")});
  TNetHTTP http;
  std::vector<int32_t> counts;
  http.OnRedirect = [&](rtl::TComponent*, std::string& dest, int32_t& count, bool& handled,
                        TNetHTTPMethod&) {
    counts.push_back(count);
    dest = "/new";
    handled = true;
  };
  http.SetHandleRedirects(true);
  EXPECT_EQ("new body", http.Get(server.Url("/start")));
  EXPECT_EQ(std::vector<int32_t>{1}, counts);
  EXPECT_EQ("GET /new HTTP/1.1", RequestLine(server.Requests().back()));
}

TEST(TNetHTTP, NoBodyIsReadForResponsesThatHaveNone) {
  // A 204 that announces a length: the bytes after it are not a body, and the
  // connection is not trusted for the next request.
  LoopbackServer server({{"HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nHELLO"}, Ok("next")});
  TNetHTTP http;
  rtl::TMemoryStream stream;
  http.Get(server.Url("/empty"), stream);
  EXPECT_EQ(0, stream.Size());
  EXPECT_EQ(204, http.Response().StatusCode());
  EXPECT_EQ("next", http.Get(server.Url("/next")));
  EXPECT_EQ(2, server.Connections());
}

TEST(TNetHTTP, HeadReadsNoBodyEvenOnErrorStatus) {
  LoopbackServer server({{"HTTP/1.1 404 Not Found\r\nContent-Length: 100\r\n\r\n"}});
  TNetHTTP http;
  try {
    http.PerformRequest(hmHead, server.Url("/missing"), nullptr, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(404, e.ReplyErrorCode());
    EXPECT_EQ("", e.ResponseBody());
  }
  EXPECT_EQ("HEAD /missing HTTP/1.1", RequestLine(server.Requests()[0]));
}

TEST(TNetHTTP, ChunkedBodies) {
  struct Case {
    std::string body;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", "hello world"},
      {"5;name=x\r\nhello\r\n0\r\n\r\n", "hello"},
      {"A; ext=\"q\"\r\n0123456789\r\n0;last\r\n\r\n", "0123456789"},
      {"0\r\n\r\n", ""},
  };
  for (const Case& c : cases) {
    for (Pieces pieces : kPieces) {
      SCOPED_TRACE(c.body + pieces.Name());
      ScriptedStream stream({{{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + c.body,
                               Response("HTTP/1.1 200 OK", "after")},
                              false}},
                            pieces);
      TNetHTTP http;
      http.SetIOHandler(&stream);
      int begins = 0;
      int ends = 0;
      http.OnWorkBegin = [&](rtl::TComponent*, TWorkMode mode, int64_t) { begins += mode == wmRead; };
      http.OnWorkEnd = [&](rtl::TComponent*, TWorkMode mode) { ends += mode == wmRead; };
      EXPECT_EQ(c.expected, http.Get("http://peer.test/chunks"));
      EXPECT_EQ(1, begins);  // one frame for the body, not one per chunk
      EXPECT_EQ(1, ends);
      EXPECT_EQ("after", http.Get("http://peer.test/after"));
      EXPECT_EQ(1u, stream.Targets().size());
    }
  }
}

TEST(TNetHTTP, BodyUntilCloseAndShortBody) {
  LoopbackServer until_close({{"HTTP/1.0 200 OK\r\n\r\nall of it", true}});
  TNetHTTP http;
  EXPECT_EQ("all of it", http.Get(until_close.Url("/x")));
  EXPECT_FALSE(http.Connected());

  LoopbackServer short_body({{"HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\npartial", true}});
  TNetHTTP second;
  rtl::TMemoryStream stream;
  EXPECT_THROW(second.Get(short_body.Url("/x"), stream), ENetHTTPBodyIncomplete);
  EXPECT_EQ("partial", stream.DataString());
  EXPECT_FALSE(second.Connected());
}

TEST(TNetHTTP, SuccessCutOffInTheHeadFails) {
  LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", true}});
  TNetHTTP http;
  EXPECT_THROW(http.Get(server.Url("/x")), ENetHTTPHeadIncomplete);
  EXPECT_FALSE(http.Connected());
}

TEST(TNetHTTP, PostAndPutSendTheSourceWithItsLength) {
  LoopbackServer server({Ok("posted"), Ok("put")});
  TNetHTTP http;
  rtl::TMemoryStream source("name=value&x=1");
  source.SetPosition(5);  // the whole stream is sent whatever its position
  rtl::TMemoryStream body;
  http.PerformRequest(hmPost, server.Url("/form"), &source, &body);
  http.PerformRequest(hmPut, server.Url("/file"), nullptr, &body);
  EXPECT_EQ("postedput", body.DataString());

  auto requests = server.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("POST /form HTTP/1.1", RequestLine(requests[0]));
  EXPECT_TRUE(HasHeader(requests[0], "Content-Length: 14"));
  EXPECT_EQ("name=value&x=1", requests[0].body);
  EXPECT_EQ("PUT /file HTTP/1.1", RequestLine(requests[1]));
  EXPECT_TRUE(HasHeader(requests[1], "Content-Length: 0"));
}

TEST(TNetHTTP, RequestLinesOfEveryMethod) {
  struct Case {
    TNetHTTPMethod method;
    std::string path;
    std::string line;
  };
  const std::vector<Case> cases = {
      {hmHead, "/h", "HEAD /h HTTP/1.1"},         {hmGet, "/g?q=1", "GET /g?q=1 HTTP/1.1"},
      {hmOptions, "/*", "OPTIONS * HTTP/1.1"},    {hmOptions, "/o", "OPTIONS /o HTTP/1.1"},
      {hmTrace, "/t", "TRACE /t HTTP/1.1"},       {hmDelete, "/d", "DELETE /d HTTP/1.1"},
  };
  LoopbackServer server([](const testing::ReceivedRequest&, size_t) { return Ok(""); });
  TNetHTTP http;
  for (const Case& c : cases) {
    http.PerformRequest(c.method, server.Url(c.path), nullptr, nullptr);
    EXPECT_EQ(c.line, RequestLine(server.Requests().back()));
    EXPECT_EQ(std::string::npos, server.Requests().back().head.find("Content-Length")) << c.line;
  }
}

// Answers every challenge as a scheme would once the program gave credentials.
class AnsweringHTTP : public TNetHTTP {
 public:
  int32_t answered = 0;

 protected:
  bool AnswerServerChallenge(TNetHTTPRequest&, TNetHTTPResponse&) override {
    SetServerAuthAttempts(ServerAuthAttempts() + 1);
    ++answered;
    return true;
  }
};

TEST(TNetHTTP, AnsweredChallengesRetryWithinTheBound) {
  const Reply challenge{Response("HTTP/1.1 401 Unauthorized", "login first",
                                 "WWW-Authenticate: Basic realm=\"r\"\r\n")};
  {
    // In-process: the request goes again at once and an auth pass is no redirect.
    LoopbackServer server({challenge, Ok("welcome")});
    AnsweringHTTP http;
    http.SetHTTPOptions({hoInProcessAuth});
    EXPECT_EQ("welcome", http.Get(server.Url("/private")));
    EXPECT_EQ(2u, server.Requests().size());
    EXPECT_EQ("GET /private HTTP/1.1", RequestLine(server.Requests()[1]));
    EXPECT_EQ(1, server.Connections());
  }
  {
    // Without it the request ends quietly with the challenge's page.
    LoopbackServer server({challenge});
    AnsweringHTTP http;
    EXPECT_EQ("login first", http.Get(server.Url("/private")));
    EXPECT_EQ(401, http.Response().StatusCode());
  }
  {
    // A server that always challenges: three answers, then the status raises.
    LoopbackServer server([&](const testing::ReceivedRequest&, size_t) { return challenge; });
    AnsweringHTTP http;
    http.SetHTTPOptions({hoInProcessAuth});
    EXPECT_THROW(http.Get(server.Url("/private")), ENetHTTPProtocolException);
    EXPECT_EQ(3, http.answered);
    EXPECT_EQ(4u, server.Requests().size());
  }
  {
    // The same when every challenge ends with the connection: each answer
    // costs a new connection, and the count still ends the request.
    LoopbackServer server([](const testing::ReceivedRequest&, size_t) {
      return Reply{"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\n"
                   "Connection: close\r\nContent-Length: 0\r\n\r\n",
                   true};
    });
    AnsweringHTTP http;
    http.SetHTTPOptions({hoInProcessAuth});
    EXPECT_THROW(http.Get(server.Url("/private")), ENetHTTPProtocolException);
    EXPECT_EQ(3, http.answered);
    EXPECT_EQ(4, server.Connections());
  }
}

// A stream that claims more bytes than a Content-Length line can state.
class HugeStream : public rtl::TMemoryStream {
 public:
  int64_t Size() override { return int64_t{3} << 30; }
};

TEST(TNetHTTP, UploadTooLargeForItsLengthIsRefused) {
  LoopbackServer server(std::vector<Reply>{});
  TNetHTTP http;
  HugeStream source;
  EXPECT_THROW(http.PerformRequest(hmPut, server.Url("/big"), &source, nullptr), ENetException);
  EXPECT_EQ(0, server.Connections());
}

TEST(TNetHTTP, RequestsRefusedBeforeAnythingIsSent) {
  struct Case {
    TNetHTTPMethod method;
    std::string url;
    TNetHTTPProtocolVersion version;
    std::string message;
  };
  LoopbackServer server(std::vector<Reply>{});
  const std::string base = server.Url("");
  const std::vector<Case> cases = {
      {hmGet, base + "/a\r\nX-Injected: 1", pv1_1, "Request target contains a line break"},
      {hmGet, base + "/a\nb", pv1_1, "Request target contains a line break"},
      {hmGet, base + "/a?q=\r", pv1_1, "Request target contains a line break"},
      {hmPut, base + "/a", pv1_0, "This request method is supported in HTTP 1.1"},
      {hmOptions, base + "/a", pv1_0, "This request method is supported in HTTP 1.1"},
      {hmGet, "ftp://127.0.0.1/a", pv1_1, ""},
      {hmGet, "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/a", pv1_1, ""},
      {hmGet, "http:///a", pv1_1, "No host in the URL"},
      {hmGet, "http://127.0.0.1:0/a", pv1_1, "Port number is not between 1 and 65535"},
      {hmGet, "http://127.0.0.1:" + std::to_string(65536 + server.Port()) + "/a", pv1_1,
       "Port number is not between 1 and 65535"},
      {hmGet, "http://127.0.0.1:x80/a", pv1_1, "Port number is not between 1 and 65535"},
  };
  for (const Case& c : cases) {
    TNetHTTP http;
    http.SetProtocolVersion(c.version);
    rtl::TMemoryStream source;
    try {
      http.PerformRequest(c.method, c.url, &source, nullptr);
      ADD_FAILURE() << "no exception for " << c.url;
    } catch (const ENetException& e) {
      EXPECT_EQ(c.message, e.Message()) << c.url;
    }
  }
  EXPECT_EQ(0, server.Connections());
  EXPECT_THROW(TNetHTTP().Get("ftp://127.0.0.1/a"), ENetUnknownProtocol);
  // https goes only through a TLS handler: the caller's plain one is refused.
  TNetHTTP http;
  TNetIOHandlerSocket plain;
  http.SetIOHandler(&plain);
  EXPECT_THROW(http.Get("https://127.0.0.1:" + std::to_string(server.Port()) + "/a"), ENetIOHandlerPropInvalid);
  EXPECT_EQ(0, server.Connections());
  http.SetIOHandler(nullptr);
}

TEST(TNetHTTP, RedirectLocationWithLineBreakIsRefused) {
  LoopbackServer server({{Response("HTTP/1.1 302 Found", "", "Location: /next\rX-Injected: 1\r\n")}});
  TNetHTTP http;
  http.SetHandleRedirects(true);
  try {
    http.Get(server.Url("/start"));
    ADD_FAILURE() << "no exception";
  } catch (const ENetException& e) {
    EXPECT_EQ("Request target contains a line break", e.Message());
  }
  EXPECT_EQ(1u, server.Requests().size());

  // A handler's rewritten location is held to the same rule.
  LoopbackServer second({{Response("HTTP/1.1 302 Found", "", "Location: /next\r\n")}});
  TNetHTTP handled;
  handled.SetHandleRedirects(true);
  handled.OnRedirect = [](rtl::TComponent*, std::string& dest, int32_t&, bool&, TNetHTTPMethod&) {
    dest += "\nHost: evil";
  };
  EXPECT_THROW(handled.Get(second.Url("/start")), ENetException);
  EXPECT_EQ(1u, second.Requests().size());
}

TEST(TNetHTTP, CredentialsAreNotSentToAnotherHostAfterRedirect) {
  LoopbackServer other({Ok("other")});
  LoopbackServer origin({
      {Response("HTTP/1.1 302 Found", "", "Location: /same\r\n")},
      {Response("HTTP/1.1 302 Found", "", "Location: " + other.Url("/elsewhere") + "\r\n")},
  });
  TNetHTTP http;
  http.SetHandleRedirects(true);
  http.Request().SetUsername("user");
  http.Request().SetPassword("secret");
  http.Request().SetBasicAuthentication(true);
  EXPECT_EQ("other", http.Get(origin.Url("/start")));

  auto at_origin = origin.Requests();
  ASSERT_EQ(2u, at_origin.size());
  EXPECT_TRUE(HasHeader(at_origin[0], "Authorization: Basic dXNlcjpzZWNyZXQ="));
  EXPECT_TRUE(HasHeader(at_origin[1], "Authorization: Basic dXNlcjpzZWNyZXQ="));
  auto at_other = other.Requests();
  ASSERT_EQ(1u, at_other.size());
  EXPECT_EQ(std::string::npos, at_other[0].head.find("Authorization"));

  // The next request to the origin carries them again.
  LoopbackServer again({Ok("back")});
  http.Get(again.Url("/x"));
  EXPECT_TRUE(HasHeader(again.Requests()[0], "Authorization: Basic dXNlcjpzZWNyZXQ="));
}

TEST(TNetHTTP, RedirectTargetsAreResolvedOrRefusedBeforeSending) {
  struct Case {
    std::string location;  // "{port}" stands for the server's port
    std::string line;      // the request line of the followed request; empty: refused
    const char* refused;   // the class expected when refused
  };
  const std::vector<Case> cases = {
      {"//127.0.0.1:{port}/other/x", "GET /other/x HTTP/1.1", ""},
      {"\\\\127.0.0.1:{port}\\y", "GET /y HTTP/1.1", ""},
      {"/a b/\x01\x7f\x80\xff?q=1 2", "GET /a%20b/%01%7F%80%FF?q=1%202 HTTP/1.1", ""},
      {"/login?next=http://elsewhere/z", "GET /login?next=http://elsewhere/z HTTP/1.1", ""},
      {"page?u=http://elsewhere", "GET /dir/page?u=http://elsewhere HTTP/1.1", ""},
      {"/%41%20b", "GET /%41%20b HTTP/1.1", ""},
      {"file:///etc/passwd", "", "ENetUnknownProtocol"},
      {"ftp://127.0.0.1:{port}/file", "", "ENetUnknownProtocol"},
      {"http:///x", "", "ENetURIMissingHost"},
      {"//:{port}/x", "", "ENetURIMissingHost"},
      {"http://127.0.0.1:65616/x", "", "ENetURIInvalidPort"},
      {"http://127.0.0.1:-1/x", "", "ENetURIInvalidPort"},
  };
  for (const Case& c : cases) {
    std::atomic<int32_t> port{0};
    LoopbackServer server([&](const testing::ReceivedRequest&, size_t index) {
      if (index > 0) return Ok("there");
      std::string location = c.location;
      const size_t mark = location.find("{port}");
      if (mark != std::string::npos) location.replace(mark, 6, std::to_string(port.load()));
      return Reply{Response("HTTP/1.1 302 Found", "", "Location: " + location + "\r\n")};
    });
    port = server.Port();
    TNetHTTP http;
    http.SetHandleRedirects(true);
    try {
      EXPECT_EQ("there", http.Get(server.Url("/dir/start"))) << c.location;
      EXPECT_TRUE(std::string(c.refused).empty()) << c.location;
      ASSERT_EQ(2u, server.Requests().size()) << c.location;
      EXPECT_EQ(c.line, RequestLine(server.Requests()[1])) << c.location;
    } catch (const ENetUnknownProtocol&) {
      EXPECT_STREQ("ENetUnknownProtocol", c.refused) << c.location;
    } catch (const ENetURIMissingHost&) {
      EXPECT_STREQ("ENetURIMissingHost", c.refused) << c.location;
    } catch (const ENetURIInvalidPort&) {
      EXPECT_STREQ("ENetURIInvalidPort", c.refused) << c.location;
    }
    if (!c.line.empty()) continue;
    EXPECT_EQ(1u, server.Requests().size()) << c.location;
    EXPECT_EQ(1, server.Connections()) << c.location;
  }
}

TEST(TNetHTTP, RedirectWithoutLocationIsTheFinalAnswer) {
  LoopbackServer server([](const testing::ReceivedRequest&, size_t) {
    return Reply{Response("HTTP/1.1 302 Found", "nowhere to go")};
  });
  TNetHTTP http;
  http.SetHandleRedirects(true);
  try {
    http.Get(server.Url("/loop"));
    ADD_FAILURE() << "no exception";
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(302, e.ReplyErrorCode());
    EXPECT_EQ("nowhere to go", e.ResponseBody());
  }
  EXPECT_EQ(1u, server.Requests().size());
}

TEST(TNetHTTP, ChallengeAfterRedirectIsAnsweredAtTheUrlThatChallenged) {
  LoopbackServer server({
      {Response("HTTP/1.1 302 Found", "", "Location: private/page?x=1\r\n")},
      {Response("HTTP/1.1 401 Unauthorized", "", "WWW-Authenticate: Basic realm=\"r\"\r\n")},
      Ok("welcome"),
  });
  AnsweringHTTP http;
  http.SetHandleRedirects(true);
  http.SetHTTPOptions({hoInProcessAuth});
  EXPECT_EQ("welcome", http.Get(server.Url("/dir/start")));
  auto requests = server.Requests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_EQ("GET /dir/private/page?x=1 HTTP/1.1", RequestLine(requests[1]));
  EXPECT_EQ("GET /dir/private/page?x=1 HTTP/1.1", RequestLine(requests[2]));
}

// The request's credentials and the caller's own Cookie and Authorization
// lines go to the origin (scheme, host, port) of the caller's URL only; user
// info in a Location changes nothing of that.
TEST(TNetHTTP, CredentialsAndCallersCookiesStayWithTheOrigin) {
  const struct {
    const char* name;
    const char* user_info;  // put into the Location
    bool same_origin;
  } cases[] = {
      {"another port", "", false},
      {"another port, a user of its own", "x@", false},
      {"another port, user and password", "x:y@", false},
      {"the same origin with user info", "x:y@", true},
  };
  for (const auto& c : cases) {
    LoopbackServer other({Ok("other")});
    std::atomic<int32_t> next_port = other.Port();
    LoopbackServer origin([&](const testing::ReceivedRequest&, size_t index) {
      if (index > 0) return Ok("origin");
      return Reply{Response("HTTP/1.1 302 Found", "",
                            "Location: http://" + std::string(c.user_info) + "127.0.0.1:" +
                                std::to_string(next_port.load()) + "/next\r\n")};
    });
    if (c.same_origin) next_port = origin.Port();
    TNetHTTP http;
    http.SetHandleRedirects(true);
    http.Request().SetUsername("user");
    http.Request().SetPassword("secret");
    http.Request().SetBasicAuthentication(true);
    http.Request().CustomHeaders().Add("Cookie: pick=mine");
    EXPECT_EQ(c.same_origin ? "origin" : "other", http.Get(origin.Url("/start"))) << c.name;

    std::vector<testing::ReceivedRequest> sent = origin.Requests();
    const auto at_other = other.Requests();
    sent.insert(sent.end(), at_other.begin(), at_other.end());
    ASSERT_EQ(2u, sent.size()) << c.name;
    EXPECT_TRUE(HasHeader(sent[0], "Authorization: Basic dXNlcjpzZWNyZXQ=")) << c.name;
    EXPECT_TRUE(HasHeader(sent[0], "Cookie: pick=mine")) << c.name;
    if (c.same_origin) {
      EXPECT_TRUE(HasHeader(sent[1], "Authorization: Basic dXNlcjpzZWNyZXQ=")) << c.name;
      EXPECT_TRUE(HasHeader(sent[1], "Cookie: pick=mine")) << c.name;
    } else {
      EXPECT_EQ(std::string::npos, sent[1].head.find("Authorization")) << c.name;
      EXPECT_EQ(std::string::npos, sent[1].head.find("Cookie")) << c.name;
    }
  }
}

// Servers refuse obsolete folded lines: every header goes out on one line,
// whatever its length, and a caller's continuation line is joined on.
TEST(TNetHTTP, LongHeaderValuesGoOutOnOneLine) {
  LoopbackServer server({Ok("fine")});
  std::string agent = "Reader/1.0";
  std::string cookies = "c0=v0";
  for (int i = 1; i < 60; ++i) {
    agent += " (part " + std::to_string(i) + ",extra)";
    cookies += "; c" + std::to_string(i) + "=value" + std::to_string(i);
  }
  const std::string user(120, 'u');
  const std::string password(1100, 'p');  // past the 1024 width of the wire lines too
  TNetHTTP http;
  http.Request().SetUserAgent(agent);
  http.Request().SetUsername(user);
  http.Request().SetPassword(password);
  http.Request().SetBasicAuthentication(true);
  http.Request().CustomHeaders().Add("Cookie: " + cookies);
  http.Request().CustomHeaders().Add("X-Folded: first");
  http.Request().CustomHeaders().Add("\t second");
  EXPECT_EQ("fine", http.Get(server.Url("/")));

  const testing::ReceivedRequest request = server.Requests().at(0);
  EXPECT_TRUE(HasHeader(request, "User-Agent: " + agent));
  EXPECT_TRUE(HasHeader(request, "Cookie: " + cookies));
  EXPECT_TRUE(HasHeader(request, "X-Folded: first second"));
  EXPECT_TRUE(HasHeader(request, "Authorization: Basic " +
                                     TNetEncoder::EncodeText<TNetEncoderMIME>(user + ":" + password)));
  EXPECT_EQ(std::string::npos, request.head.find("\r\n ")) << request.head;
  EXPECT_EQ(std::string::npos, request.head.find("\r\n\t")) << request.head;
}

TEST(TNetHTTP, UnansweredChallengeRaises) {
  LoopbackServer server({{Response("HTTP/1.1 401 Unauthorized", "denied",
                                   "WWW-Authenticate: Basic realm=\"r\"\r\n")}});
  TNetHTTP http;
  try {
    http.Get(server.Url("/private"));
    ADD_FAILURE() << "no exception";
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(401, e.ReplyErrorCode());
    EXPECT_EQ("denied", e.ResponseBody());
  }
}

TEST(TNetHTTP, CookiesFlowThroughTheStore) {
  LoopbackServer server({
      Ok("set", "Set-Cookie: SID=abc; path=/\r\nSet-Cookie: B=2; path=/a/\r\n"),
      Ok("a"),
      Ok("z"),
  });
  TNetHTTP http;
  http.Get(server.Url("/login"));
  ASSERT_NE(nullptr, http.CookieManager());
  http.Get(server.Url("/a/b.txt"));
  http.Get(server.Url("/z.txt"));

  auto requests = server.Requests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_EQ(std::string::npos, requests[0].head.find("Cookie"));
  EXPECT_TRUE(HasHeader(requests[1], "Cookie: B=2; SID=abc"));
  EXPECT_TRUE(HasHeader(requests[2], "Cookie: SID=abc"));
}

TEST(TNetHTTP, NoCookieStoreWhenCookiesAreNotAllowed) {
  LoopbackServer server({Ok("set", "Set-Cookie: SID=abc\r\n"), Ok("again")});
  TNetHTTP http;
  http.SetAllowCookies(false);
  http.Get(server.Url("/"));
  http.Get(server.Url("/"));
  EXPECT_EQ(nullptr, http.CookieManager());
  EXPECT_EQ(std::string::npos, server.Requests()[1].head.find("Cookie"));
}

TEST(TNetHTTP, ForgetsAnAttachedCookieStoreThatIsDestroyed) {
  LoopbackServer server({Ok("set", "Set-Cookie: A=1\r\n"), Ok("")});
  TNetHTTP http;
  http.Get(server.Url("/"));  // creates a store of its own
  ASSERT_NE(nullptr, http.CookieManager());
  EXPECT_TRUE(http.Owns(http.CookieManager()));
  const size_t components = http.ComponentCount();
  auto* outside = new TNetCookieManager();
  http.SetCookieManager(outside);  // frees the client's own store
  EXPECT_EQ(outside, http.CookieManager());
  EXPECT_EQ(components - 1, http.ComponentCount());
  delete outside;
  EXPECT_EQ(nullptr, http.CookieManager());
  http.SetAllowCookies(false);
  http.Get(server.Url("/"));
  EXPECT_EQ(std::string::npos, server.Requests()[1].head.find("Cookie"));
}

// Through a proxy the target host can be any name: the connection goes to the
// loopback proxy, the cookie store sees the names.
TEST(TNetHTTP, ProxyRouteSendsAbsoluteTargetsAndMatchesCookieDomainsStrictly) {
  LoopbackServer proxy([](const testing::ReceivedRequest& request, size_t) {
    if (RequestLine(request).find("/login ") != std::string::npos) {
      return Ok("in", "Set-Cookie: SID=abc; domain=.area.test\r\nSet-Cookie: HOST=1\r\n");
    }
    return Ok("page");
  });
  TNetHTTP http;
  http.ProxyParams().SetProxyServer("127.0.0.1");
  http.ProxyParams().SetProxyPort(proxy.Port());
  http.SetProtocolVersion(pv1_0);
  http.Get("http://node.area.test/login");
  http.Get("http://node.area.test.evil.example/steal");
  http.Get("http://other.area.test/x");
  http.Get("http://node.area.test:8080/y");

  auto requests = proxy.Requests();
  ASSERT_EQ(4u, requests.size());
  EXPECT_EQ("GET http://node.area.test:80/login HTTP/1.0", RequestLine(requests[0]));
  EXPECT_TRUE(HasHeader(requests[0], "Proxy-Connection: keep-alive"));
  EXPECT_TRUE(HasHeader(requests[0], "Host: node.area.test"));
  EXPECT_EQ(std::string::npos, requests[1].head.find("Cookie"));
  EXPECT_TRUE(HasHeader(requests[2], "Cookie: SID=abc"));
  EXPECT_EQ("GET http://node.area.test:8080/y HTTP/1.0", RequestLine(requests[3]));
  EXPECT_TRUE(HasHeader(requests[3], "Host: node.area.test:8080"));
}

TEST(TNetHTTP, IPv6TargetsGoInBracketsAndKeepTheirCookies) {
  LoopbackServer proxy([](const testing::ReceivedRequest& request, size_t) {
    if (RequestLine(request).find("/login ") != std::string::npos) return Ok("in", "Set-Cookie: SID=six\r\n");
    if (RequestLine(request).find("/moved ") != std::string::npos) {
      return Reply{"HTTP/1.0 302 Found\r\nLocation: //[::1]:8080/there\r\nContent-Length: 0\r\n\r\n"};
    }
    return Ok("page");
  });
  TNetHTTP http;
  http.ProxyParams().SetProxyServer("127.0.0.1");
  http.ProxyParams().SetProxyPort(proxy.Port());
  http.SetProtocolVersion(pv1_0);
  http.SetHandleRedirects(true);
  http.Get("http://[::1]/login");
  http.Get("http://[::1]:8080/y");
  http.Get("http://[::2]/z");
  http.Get("http://[2001:db8::1]:81/moved");

  const struct {
    const char* line;
    const char* host;
    bool cookie;
  } expected[] = {
      {"GET http://[::1]:80/login HTTP/1.0", "Host: [::1]", false},
      {"GET http://[::1]:8080/y HTTP/1.0", "Host: [::1]:8080", true},
      {"GET http://[::2]:80/z HTTP/1.0", "Host: [::2]", false},
      {"GET http://[2001:db8::1]:81/moved HTTP/1.0", "Host: [2001:db8::1]:81", false},
      {"GET http://[::1]:8080/there HTTP/1.0", "Host: [::1]:8080", true},
  };
  auto requests = proxy.Requests();
  ASSERT_EQ(std::size(expected), requests.size());
  for (size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE(expected[i].line);
    EXPECT_EQ(expected[i].line, RequestLine(requests[i]));
    EXPECT_TRUE(HasHeader(requests[i], expected[i].host));
    EXPECT_EQ(expected[i].cookie, HasHeader(requests[i], "Cookie: SID=six"));
  }
}

// A client whose I/O handler pretends to speak TLS: the CONNECT request and
// the tunnel's answer can be watched in plain text.
class PlainTunnelHTTP : public TNetHTTP {
 public:
  std::vector<bool> pass_through;

 protected:
  bool TLSHandlerAttached() const override { return true; }
  void SetTLSPassThrough(bool on) override { pass_through.push_back(on); }
};

TEST(TNetHTTP, TunnelThroughProxySendsConnectFirst) {
  LoopbackServer proxy({{"\r\n"}, Ok("secret page")});
  PlainTunnelHTTP http;
  http.ProxyParams().SetProxyServer("127.0.0.1");
  http.ProxyParams().SetProxyPort(proxy.Port());
  EXPECT_EQ("secret page", http.Get("https://secure.test/x"));

  auto requests = proxy.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("CONNECT secure.test:443 HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Pragma: no-cache\r\n"
            "Proxy-Connection: keep-alive\r\n"
            "Host: secure.test:443\r\n"
            "Accept: text/html, */*\r\n" +
                kUserAgent + "\r\n",
            requests[0].head);
  EXPECT_EQ("GET /x HTTP/1.1", RequestLine(requests[1]));
  EXPECT_EQ(1, requests[1].connection);
  EXPECT_EQ((std::vector<bool>{true, false}), http.pass_through);

  // An IPv6 target: brackets in the CONNECT target and the Host header.
  LoopbackServer six_proxy({{"\r\n"}, Ok("six")});
  PlainTunnelHTTP six;
  six.ProxyParams().SetProxyServer("127.0.0.1");
  six.ProxyParams().SetProxyPort(six_proxy.Port());
  EXPECT_EQ("six", six.Get("https://[fe80::1]:8443/x"));
  requests = six_proxy.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("CONNECT [fe80::1]:8443 HTTP/1.1", RequestLine(requests[0]));
  EXPECT_TRUE(HasHeader(requests[0], "Host: [fe80::1]:8443"));
  EXPECT_TRUE(HasHeader(requests[1], "Host: [fe80::1]:8443"));
}

TEST(TNetHTTP, TunnelRefusedByTheProxyRaises) {
  LoopbackServer proxy({{Response("HTTP/1.1 403 Forbidden", "no tunnels")}});
  PlainTunnelHTTP http;
  http.ProxyParams().SetProxyServer("127.0.0.1");
  http.ProxyParams().SetProxyPort(proxy.Port());
  try {
    http.Get("https://secure.test/x");
    ADD_FAILURE() << "no exception";
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(403, e.ReplyErrorCode());
    EXPECT_EQ("no tunnels", e.ResponseBody());
  }
  EXPECT_EQ(1u, proxy.Requests().size());
}

// Proxy credentials go only to a configured HTTP proxy: not to a server,
// not even one that answers 407, and not inside a tunnel.
TEST(TNetHTTP, ProxyCredentialsGoOnlyToTheProxy) {
  auto configure = [](TNetHTTP& http) {
    http.ProxyParams().SetProxyUsername("puser");
    http.ProxyParams().SetProxyPassword("ppass");
    http.ProxyParams().SetBasicAuthentication(true);
    http.SetHTTPOptions({hoInProcessAuth});
    http.OnProxyAuthorization = [](rtl::TComponent*, TNetAuthentication& scheme, bool& handled) {
      scheme.SetUsername("puser");
      scheme.SetPassword("ppass");
      handled = true;
    };
  };
  {
    LoopbackServer server({{Response("HTTP/1.1 407 Proxy Authentication Required", "not a proxy",
                                     "Proxy-Authenticate: Basic realm=\"p\"\r\n")}});
    TNetHTTP http;
    configure(http);
    try {
      http.Get(server.Url("/x"));
      ADD_FAILURE() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
      EXPECT_EQ(407, e.ReplyErrorCode());
      EXPECT_EQ("not a proxy", e.ResponseBody());
    }
    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ(std::string::npos, server.Requests()[0].head.find("Proxy-Authorization"));
  }
  {
    LoopbackServer proxy({{"\r\n"}, Ok("secret page")});
    PlainTunnelHTTP http;
    configure(http);
    http.ProxyParams().SetProxyServer("127.0.0.1");
    http.ProxyParams().SetProxyPort(proxy.Port());
    EXPECT_EQ("secret page", http.Get("https://secure.test/x"));
    auto requests = proxy.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_TRUE(HasHeader(requests[0], "Proxy-Authorization: Basic cHVzZXI6cHBhc3M="));
    EXPECT_EQ(std::string::npos, requests[1].head.find("Proxy-Authorization"));
  }
}

}  // namespace
}  // namespace meridian::net
