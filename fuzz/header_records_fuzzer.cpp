// Parses an arbitrary header block into a response record and a request record
// and composes them again. Nothing a peer sends may make the parse fail.
#include <cstdlib>

#include "fuzz_input.h"
#include "http/request_header_info.h"
#include "http/response_header_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  meridian::fuzz::FuzzInput input(data, size);
  input.PickCodePage();
  const std::string block = input.Rest();

  meridian::net::TNetResponseHeaderInfo response;
  response.WireHeaders().SetText(block);
  response.ParseHeaders();
  if (response.LengthKnown() != (response.ContentLength() >= 0)) abort();
  // Dates stay within the years 1 to 9999 (before 1899-12-30 they are negative).
  if (!(response.Expires() >= -693594 && response.Expires() <= 2958466)) abort();
  response.ComposeHeaders();

  meridian::net::TNetRequestHeaderInfo request;
  request.WireHeaders().SetText(block);
  request.ParseHeaders();
  request.ComposeHeaders();
  return 0;
}
