// Whole GET exchanges against a peer whose replies the input writes:
// redirects, cookies, challenges answered with credentials, kept and closed
// connections, in receives of sizes the input picks. Every failure must be one
// of the library's own exceptions, and no exchange may end with more
// connections than its bounds allow.
#include <cstdlib>

#include "fuzz_input.h"
#include "http/http_client.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "support/scripted_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace meridian::net;
  meridian::fuzz::FuzzInput input(data, size);
  const uint8_t choice = input.Byte();
  const uint8_t flags = input.Byte();
  // Replies are separated by NUL bytes; each connection offers all of them in
  // turn, so a reconnect meets the same peer again.
  std::vector<std::string> replies;
  while (replies.size() < 6) {
    std::string reply = input.Text();
    if (reply.empty()) break;
    replies.push_back(std::move(reply));
  }
  const testing::Pieces pieces =
      choice % 2 == 0 ? testing::Pieces::Of(choice / 2 + 1) : testing::Pieces::Random(choice, 32);
  std::vector<testing::ScriptedConnection> script(4, {replies, (flags & 1) != 0});
  testing::ScriptedStream stream(script, pieces);
  if ((flags & 0x30) != 0) stream.FailAt(testing::ScriptedStream::opAny, (flags >> 4) * 3);

  {
    TNetHTTP http;
    http.SetIOHandler(&stream);
    http.SetHandleRedirects((flags & 2) != 0);
    http.SetRedirectMaximum(4);
    http.SetAuthRetries(2);
    http.SetAllowCookies(true);
    http.SetMaxLineLength(256);
    if ((flags & 4) != 0) {
      http.Request().SetUsername("user");
      http.Request().SetPassword("secret");
    }
    if ((flags & 8) != 0) http.SetProtocolVersion(pv1_0);
    meridian::rtl::TMemoryStream body;
    for (const char* url : {"http://a.test/first", "/second"}) {
      try {
        http.Get(url, body);
      } catch (const meridian::rtl::Exception&) {
      }
    }
  }
  // Two requests, each with at most four redirects and two challenges.
  if (stream.Targets().size() > 2 * (1 + 4 + 2) + 2) abort();
  if (stream.Connected()) abort();  // the client closed what it opened
  return 0;
}
