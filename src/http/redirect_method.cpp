#include "http/redirect_method.h"

namespace meridian::net {

TNetHTTPMethod RedirectedMethod(TNetHTTPMethod method, int32_t status, TNetRedirectMethodRules rules) {
  if (!rules.Contains(rrRewrite)) return method;
  switch (status) {
    case 301:
      return method == hmPost && !rules.Contains(rrKeepPost301) ? hmGet : method;
    case 302:
      return method == hmPost && !rules.Contains(rrKeepPost302) ? hmGet : method;
    case 303:
      // "See Other" asks for another resource: fetched with GET, whatever
      // the request was, except that a HEAD stays a HEAD.
      if (method == hmHead || (method == hmPost && rules.Contains(rrKeepPost303))) return method;
      return hmGet;
    default:
      return method;
  }
}

}  // namespace meridian::net
