// Netscape cookie files read into and written from the cookie store.
#include "cookie_file.h"

#include <fstream>
#include <istream>
#include <ostream>
#include <vector>

#include "fetch_errors.h"
#include "http/cookie.h"
#include "http/cookie_manager.h"
#include "http/http_date.h"
#include "rtl/date_time.h"
#include "rtl/streams.h"
#include "rtl/text.h"

namespace meridian::fetch {

namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";
// A longer line cannot be a cookie the store would keep.
constexpr size_t kMaxLineLength = 3 * net::kMaxCookieTextLength;

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// Seconds since 1970 (UTC) as the HTTP date text the cookies keep.
std::string ExpiryText(int64_t unix_seconds) {
  const rtl::TDateTime local = rtl::UnixToDateTime(unix_seconds) + net::LocalOffsetFromUTC();
  return net::FormatHttpDate(local, true);
}

int64_t ExpiryFromText(const std::string& text) {
  if (text.empty()) return 0;
  return rtl::DateTimeToUnix(net::HttpDateToLocal(text) - net::LocalOffsetFromUTC());
}

bool Writable(std::string_view field) { return field.find_first_of("\t\r\n") == std::string_view::npos; }

}  // namespace

int32_t ReadCookieFile(std::istream& in, net::TNetCookieManager& manager) {
  int32_t count = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineLength) continue;
    if (line.compare(0, kHttpOnlyPrefix.size(), kHttpOnlyPrefix) == 0) {
      line.erase(0, kHttpOnlyPrefix.size());
    } else if (line.empty() || line[0] == '#') {
      continue;
    }
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() != 7 || fields[0].empty() || fields[5].empty()) continue;
    int64_t expiry = 0;
    if (!rtl::TryStrToInt64(fields[4], expiry) || expiry < 0) continue;

    std::string domain = fields[0];
    const bool subdomains = rtl::SameText(fields[1], "TRUE");
    if (subdomains && domain[0] != '.') domain = "." + domain;
    if (!subdomains && domain[0] == '.') domain.erase(0, 1);
    const std::string expires = expiry == 0 ? std::string() : ExpiryText(expiry);
    if (net::CookieExpired(expires)) continue;

    net::TNetCookieRFC2109* cookie = manager.Cookies().Add<net::TNetCookieRFC2109>();
    cookie->SetDomain(domain);
    cookie->SetPath(fields[2]);
    cookie->SetSecure(rtl::SameText(fields[3], "TRUE"));
    cookie->SetCookieName(fields[5]);
    cookie->SetCookieValue(fields[6]);
    if (!expires.empty()) cookie->SetExpiresText(expires);
    manager.Cookies().StoreCookie(cookie);
    ++count;
  }
  return count;
}

void WriteCookieFile(std::ostream& out, net::TNetCookieManager& manager) {
  manager.DropExpired();
  out << "# Netscape HTTP Cookie File\n"
      << "# Written by meridian-fetch. Edit at your own risk.\n\n";
  net::TNetCookies& cookies = manager.Cookies();
  net::TNetCookieDomains& domains = cookies.LockDomains(net::caRead);
  try {
    for (int32_t d = 0; d < domains.Count(); ++d) {
      const net::TNetCookieList& list = *domains.Objects(d);
      for (int32_t i = 0; i < list.Count(); ++i) {
        const net::TNetNetscapeCookie& cookie = *list.Objects(i);
        const std::string& domain = cookie.Domain();
        if (domain.empty() || !Writable(domain) || !Writable(cookie.Path()) || !Writable(cookie.CookieName()) ||
            !Writable(cookie.CookieValue())) {
          continue;
        }
        const bool subdomains = domain[0] == '.';
        out << domain << '\t' << (subdomains ? "TRUE" : "FALSE") << '\t'
            << (cookie.Path().empty() ? "/" : cookie.Path()) << '\t' << (cookie.Secure() ? "TRUE" : "FALSE") << '\t'
            << ExpiryFromText(cookie.ExpiresText()) << '\t' << cookie.CookieName() << '\t' << cookie.CookieValue()
            << '\n';
      }
    }
  } catch (...) {
    cookies.UnlockDomains(net::caRead);
    throw;
  }
  cookies.UnlockDomains(net::caRead);
}

void LoadCookieFile(const std::string& file_name, net::TNetCookieManager& manager) {
  if (!rtl::FileExists(file_name)) return;
  std::ifstream in(file_name, std::ios::binary);
  if (!in) throw EFetchError(fxReadError, "Failed to read the cookie file " + file_name);
  ReadCookieFile(in, manager);
  if (in.bad()) throw EFetchError(fxReadError, "Failed to read the cookie file " + file_name);
}

void SaveCookieFile(const std::string& file_name, net::TNetCookieManager& manager) {
  std::ofstream out(file_name, std::ios::binary | std::ios::trunc);
  if (out) WriteCookieFile(out, manager);
  out.close();
  if (!out) throw EFetchError(fxWriteError, "Failed to save cookies in " + file_name);
}

}  // namespace meridian::fetch
