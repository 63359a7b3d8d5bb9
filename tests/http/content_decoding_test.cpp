// The HTTP client with content decoding on and off, against a loopback
// server sending compressed bodies in every framing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coders/inflate_stream.h"
#include "http/http_client.h"
#include "http/loopback_server.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "support/compressed.h"

namespace meridian::net {
namespace {

using testing::Compress;
using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::Response;

const std::string kPlain = [] {
  std::string text;
  for (int i = 0; text.size() < 3 * kInflateBufferSize; ++i) text += "line " + std::to_string(i) + " of the page\n";
  return text;
}();

std::string Chunked(const std::string& body, size_t piece) {
  std::string out;
  for (size_t at = 0; at < body.size(); at += piece) {
    const std::string chunk = body.substr(at, piece);
    char size[20];
    std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
    out += size + chunk + "\r\n";
  }
  return out + "0\r\n\r\n";
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(TNetHTTPContentDecoding, OffAsksForNothingAndPassesBytesOn) {
  const std::string gzip = Compress(kPlain, testing::kGzip);
  LoopbackServer server({{Response("HTTP/1.1 200 OK", gzip, "Content-Encoding: gzip\r\n")}});
  TNetHTTP http;
  EXPECT_FALSE(http.DecodeContent());
  EXPECT_EQ(gzip, http.Get(server.Url("/page")));
  EXPECT_FALSE(Has(server.Requests()[0].head, "Accept-Encoding"));
}

TEST(TNetHTTPContentDecoding, EveryCodingInEveryFramingDecodes) {
  struct Coding {
    const char* header;  // the Content-Encoding lines
    std::string body;
  } codings[] = {
      {"Content-Encoding: gzip\r\n", Compress(kPlain, testing::kGzip)},
      {"Content-Encoding: X-GZIP\r\n", Compress(kPlain, testing::kGzip)},
      {"Content-Encoding: deflate\r\n", Compress(kPlain, testing::kZlib)},
      {"Content-Encoding: deflate\r\n", Compress(kPlain, testing::kRawDeflate)},
      {"Content-Encoding: gzip, deflate\r\n", Compress(Compress(kPlain, testing::kGzip), testing::kZlib)},
      {"Content-Encoding: deflate\r\nContent-Encoding: gzip\r\n",
       Compress(Compress(kPlain, testing::kZlib), testing::kGzip)},
      {"Content-Encoding: identity\r\n", kPlain},
      {"", kPlain},
  };
  for (const Coding& coding : codings) {
    // Three framings on one connection, then one that ends with the close.
    LoopbackServer server([&](const ReceivedRequest&, size_t index) -> Reply {
      switch (index) {
        case 0:
          return {Response("HTTP/1.1 200 OK", coding.body, coding.header)};
        case 1:
          return {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n" + std::string(coding.header) + "\r\n" +
                  Chunked(coding.body, 1000)};
        case 2:
          return {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n" + std::string(coding.header) + "\r\n" +
                  Chunked(coding.body, 7)};
        default:
          return {"HTTP/1.1 200 OK\r\nConnection: close\r\n" + std::string(coding.header) + "\r\n" + coding.body,
                  true};
      }
    });
    TNetHTTP http;
    http.SetDecodeContent(true);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(kPlain, http.Get(server.Url("/page"))) << coding.header << " pass " << i;
    EXPECT_EQ(1, server.Connections()) << coding.header;
    EXPECT_TRUE(Has(server.Requests()[0].head, "\r\nAccept-Encoding: deflate, gzip\r\n"));
  }
}

TEST(TNetHTTPContentDecoding, CallersAcceptEncodingIsKept) {
  LoopbackServer server({{Response("HTTP/1.1 200 OK", "plain")}});
  TNetHTTP http;
  http.SetDecodeContent(true);
  http.Request().SetAcceptEncoding("gzip");
  EXPECT_EQ("plain", http.Get(server.Url("/")));
  EXPECT_TRUE(Has(server.Requests()[0].head, "\r\nAccept-Encoding: gzip\r\n"));
  EXPECT_FALSE(Has(server.Requests()[0].head, "deflate"));
}

TEST(TNetHTTPContentDecoding, BadBodiesFailAndCostTheConnection) {
  const std::string gzip = Compress(kPlain, testing::kGzip);
  std::string corrupt = gzip;
  corrupt[100] = static_cast<char>(corrupt[100] ^ 0x5a);
  struct Case {
    const char* name;
    std::string reply;
  } cases[] = {
      {"corrupt gzip", Response("HTTP/1.1 200 OK", corrupt, "Content-Encoding: gzip\r\n")},
      {"gzip cut short, framed whole", Response("HTTP/1.1 200 OK", gzip.substr(0, gzip.size() / 3),
                                                "Content-Encoding: gzip\r\n")},
      {"plain text called gzip", Response("HTTP/1.1 200 OK", kPlain, "Content-Encoding: gzip\r\n")},
      {"unknown coding", Response("HTTP/1.1 200 OK", gzip, "Content-Encoding: br\r\n")},
      {"six codings", Response("HTTP/1.1 200 OK", gzip, "Content-Encoding: gzip, gzip, gzip, gzip, gzip, gzip\r\n")},
      {"corrupt chunked gzip", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n\r\n" +
                                   Chunked(corrupt, 500)},
  };
  for (const Case& c : cases) {
    LoopbackServer server({{c.reply}, {Response("HTTP/1.1 200 OK", "next")}});
    TNetHTTP http;
    http.SetDecodeContent(true);
    rtl::TMemoryStream body;
    EXPECT_THROW(http.Get(server.Url("/page"), body), ENetContentDecodingError) << c.name;
    EXPECT_LE(body.Size(), static_cast<int64_t>(kPlain.size())) << c.name;
    // The next request still gets its own answer.
    EXPECT_EQ("next", http.Get(server.Url("/next"))) << c.name;
  }
}

TEST(TNetHTTPContentDecoding, ErrorPageIsKeptDecoded) {
  const std::string page = Compress("<h1>Not here</h1>", testing::kGzip);
  const std::string big = Compress(std::string(4 * kMaxErrorPageBytes, 'x'), testing::kGzip);
  struct Case {
    std::string reply;
    std::string kept;
  } cases[] = {
      {Response("HTTP/1.1 404 Not Found", page, "Content-Encoding: gzip\r\n"), "<h1>Not here</h1>"},
      // Far past the bound once decoded: cut at the bound.
      {Response("HTTP/1.1 404 Not Found", big, "Content-Encoding: gzip\r\n"), std::string(kMaxErrorPageBytes, 'x')},
      {Response("HTTP/1.1 404 Not Found", "raw", "Content-Encoding: br\r\n"), "raw"},
  };
  for (const Case& c : cases) {
    LoopbackServer server({{c.reply}});
    TNetHTTP http;
    http.SetDecodeContent(true);
    try {
      http.Get(server.Url("/missing"));
      FAIL();
    } catch (const ENetHTTPProtocolException& e) {
      EXPECT_EQ(404, e.ReplyErrorCode());
      EXPECT_EQ(c.kept, e.ResponseBody());
    }
  }
  // A page cut short keeps what could be decoded of it.
  LoopbackServer server({{Response("HTTP/1.1 404 Not Found", page.substr(0, page.size() - 9),
                                   "Content-Encoding: gzip\r\n")}});
  TNetHTTP http;
  http.SetDecodeContent(true);
  try {
    http.Get(server.Url("/missing"));
    FAIL();
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(0u, std::string("<h1>Not here</h1>").find(e.ResponseBody()));
  }
}

TEST(TNetHTTPContentDecoding, AnswersWithoutBodyAreNotDecoded) {
  LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 120\r\n\r\n"},
                         {"HTTP/1.1 204 No Content\r\nContent-Encoding: gzip\r\n\r\n"},
                         {Response("HTTP/1.1 200 OK", "", "Content-Encoding: gzip\r\n")}});
  TNetHTTP http;
  http.SetDecodeContent(true);
  rtl::TMemoryStream body;
  EXPECT_NO_THROW(http.PerformRequest(hmHead, server.Url("/"), nullptr, &body));
  EXPECT_EQ(0, body.Size());
  EXPECT_EQ("", http.Get(server.Url("/")));
  EXPECT_EQ("", http.Get(server.Url("/")));
}

}  // namespace
}  // namespace meridian::net
