// get URL: fetches URL within 10 seconds in all (connecting, redirects and
// reading included) and prints the status and the body's size.
#include <cstdio>

#include "http/http_client.h"
#include "net/exceptions.h"
#include "rtl/exceptions.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: get URL\n");
    return 2;
  }
  try {
    meridian::net::TNetHTTP http;
    http.SetDeadline(meridian::net::TNetDeadline::In(10000));  // ms from now
    const std::string body = http.Get(argv[1]);
    std::printf("%d %zu\n", http.Response().StatusCode(), body.size());
    return 0;
  } catch (const meridian::net::ENetHTTPProtocolException& e) {
    // A status outside 2xx that the client did not handle (an error page).
    std::printf("%d %zu\n", e.ReplyErrorCode(), e.ResponseBody().size());
    return 1;
  } catch (const meridian::rtl::Exception& e) {
    // Every other failure of the library: connecting, time-outs, bad URLs.
    std::fprintf(stderr, "get: %s\n", e.what());
    return 1;
  }
}
