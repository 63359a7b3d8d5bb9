// Feeds arbitrary "Set-cookie" and "Set-cookie2" values from an arbitrary host
// to a cookie store, asks it for the header of an arbitrary request, and
// checks that nothing it sends belongs to a domain the request's host is not
// within.
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "http/cookie_manager.h"

using namespace meridian::net;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  meridian::fuzz::FuzzInput input(data, size);
  input.PickCodePage();
  const std::string host = input.Text();
  const std::string request_host = input.Text();
  const std::string path = input.Text();
  const bool secure = (input.Byte() & 1) != 0;

  TNetCookieManager manager;
  // At most a bounded number of cookies per input keeps each run short.
  for (int i = 0; i < 64; ++i) {
    const uint8_t kind = input.Byte();
    const std::string text = input.Text();
    if (text.empty() && kind == 0) break;
    if ((kind & 1) != 0) {
      manager.AcceptSetCookie2(text, host);
    } else {
      manager.AcceptSetCookie(text, host);
    }

    // A free-standing cookie survives writing itself back and re-reading.
    TNetCookieRFC2109 cookie;
    cookie.SetSourceText(text);
    TNetCookieRFC2109 copy;
    copy.SetSourceText(cookie.ServerText());
  }

  const std::string header = manager.CookieHeaderFor(request_host, path, secure);
  TNetCookieDomains& domains = manager.Cookies().LockDomains(caRead);
  int32_t filed = 0;
  for (int32_t d = 0; d < domains.Count(); ++d) {
    const TNetCookieList& list = *domains.Objects(d);
    filed += list.Count();
    if (list.Count() > kMaxCookiesPerDomain) abort();
    for (int32_t i = 0; i < list.Count(); ++i) {
      const TNetNetscapeCookie* cookie = list.Objects(i);
      // Every filed cookie was valid for the host that sent it.
      if (!cookie->IsValidFor(host)) abort();
    }
  }
  manager.Cookies().UnlockDomains(caRead);
  if (filed > manager.Cookies().Count()) abort();
  if (!header.empty() && domains.Empty()) abort();
  return 0;
}
