// Parses arbitrary text as a URI, composes it again and checks that a composed
// URI parses back into the same parts.
#include <cstdlib>

#include "fuzz_input.h"
#include "net/exceptions.h"
#include "uri/uri.h"

using meridian::net::ENetURIException;
using meridian::net::TNetURI;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  meridian::fuzz::FuzzInput input(data, size);
  input.PickCodePage();
  TNetURI uri(input.Rest());
  if (uri.URIText().find('\\') != std::string::npos && !meridian::rtl::HasLeadBytes()) abort();
  try {
    const std::string full = uri.ComposeURI();
    const std::string plain = uri.URI();
    if (uri.URIText() != full || plain.size() > full.size()) abort();
  } catch (const ENetURIException&) {
    if (!uri.Protocol().empty() && !uri.Host().empty()) abort();
  }
  return 0;
}
