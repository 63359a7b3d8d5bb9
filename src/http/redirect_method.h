// How a followed redirect changes the request's method: kept as it is, or by
// the rules that current clients apply (RFC 9110 section 15.4).
#pragma once

#include <cstdint>

#include "http/http_request.h"
#include "rtl/bit_set.h"

namespace meridian::net {

// The rules a client applies to the method of a followed redirect
// (TNetCustomHTTP::RedirectMethodRules). Without rrRewrite the method is kept.
enum TNetRedirectMethodRule : uint8_t {
  rrRewrite,      // a 303 turns every method but HEAD into GET, a 301 or 302 turns POST into GET
  rrKeepPost301,  // ... except POST after a 301
  rrKeepPost302,  // ... after a 302
  rrKeepPost303,  // ... after a 303 (other methods still turn into GET)
};
using TNetRedirectMethodRules = rtl::TSet<TNetRedirectMethodRule>;

// The method the request goes on with after a redirect of `status`. 307, 308
// and every other status keep it.
TNetHTTPMethod RedirectedMethod(TNetHTTPMethod method, int32_t status, TNetRedirectMethodRules rules);

// Whether `method` sends the request body (POST and PUT).
inline bool MethodSendsBody(TNetHTTPMethod method) { return method == hmPost || method == hmPut; }

}  // namespace meridian::net
