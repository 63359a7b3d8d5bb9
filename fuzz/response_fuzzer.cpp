// Reads one connection's bytes as responses: status lines, heads, interim
// answers, each body framing and trailers, cut into receives of sizes the
// input picks. Every failure must be one of the library's own exceptions.
#include <cstdlib>

#include "fuzz_input.h"
#include "http/http_response.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "support/scripted_stream.h"
#include "transport/tcp_client.h"

namespace {

using meridian::net::testing::Pieces;

Pieces PickPieces(meridian::fuzz::FuzzInput& input) {
  const uint8_t choice = input.Byte();
  switch (choice % 3) {
    case 0:
      return Pieces::Whole();
    case 1:
      return Pieces::Of(choice / 3 + 1);
    default:
      return Pieces::Random(choice, 64);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace meridian::net;
  meridian::fuzz::FuzzInput input(data, size);
  const Pieces pieces = PickPieces(input);
  const uint8_t flags = input.Byte();
  const std::string bytes = input.Rest();

  testing::ScriptedStream stream(testing::ScriptedStream::Once(bytes), pieces);
  TNetTCPClient client;
  client.SetIOHandler(&stream);
  client.SetMaxLineLength((flags & 1) != 0 ? 0 : 64);
  TNetHTTPResponse response(&client, [flags] { return (flags & 2) != 0 ? pv1_0 : pv1_1; });
  meridian::rtl::TMemoryStream body;
  response.SetBodyStream(&body);
  response.SetHeadRequest((flags & 4) != 0);
  client.Connect();
  // Responses follow each other until the bytes run out or one fails.
  for (int round = 0; round < 8; ++round) {
    try {
      do {
        response.ReadStatusLine();
        response.ReadResponseHead();
      } while (response.IsInterim());
      const int64_t before = body.Size();
      if ((flags & 8) != 0) {
        response.DrainBody();
        if (body.Size() != before) abort();
      } else {
        response.ReadBody();
      }
    } catch (const meridian::rtl::Exception&) {
      if (response.ConnectionReusable()) abort();  // a failed response never leaves a usable connection
      break;
    }
    // No body can be longer than what the peer sent.
    if (body.Size() > static_cast<int64_t>(bytes.size())) abort();
    if (!response.ConnectionReusable()) break;
  }
  return 0;
}
