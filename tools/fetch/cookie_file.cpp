// Netscape cookie files read into and written from the cookie store.
#include "cookie_file.h"

#include <algorithm>
#include <cstdio>
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

int32_t ReadCookieFile(std::string_view text, net::TNetCookieManager& manager) {
  int32_t count = 0;
  const int64_t now = rtl::DateTimeToUnix(rtl::NowUTC());
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string line(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
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
    if (expiry != 0 && expiry <= now) continue;
    const std::string expires = expiry == 0 ? std::string() : ExpiryText(expiry);

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

std::string CookieFileText(net::TNetCookieManager& manager) {
  manager.DropExpired();
  std::string out =
      "# Netscape HTTP Cookie File\n"
      "# Written by meridian-fetch. Edit at your own risk.\n\n";
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
        out.append(domain).append(subdomains ? "\tTRUE\t" : "\tFALSE\t");
        out.append(cookie.Path().empty() ? "/" : cookie.Path()).append(cookie.Secure() ? "\tTRUE\t" : "\tFALSE\t");
        out.append(std::to_string(ExpiryFromText(cookie.ExpiresText()))).append("\t");
        out.append(cookie.CookieName()).append("\t").append(cookie.CookieValue()).append("\n");
      }
    }
  } catch (...) {
    cookies.UnlockDomains(net::caRead);
    throw;
  }
  cookies.UnlockDomains(net::caRead);
  return out;
}

void LoadCookieFile(const std::string& file_name, net::TNetCookieManager& manager) {
  if (!rtl::FileExists(file_name)) return;
  std::string text;
  if (!rtl::ReadFileToString(file_name, text)) {
    throw EFetchError(fxReadError, "Failed to read the cookie file " + file_name);
  }
  ReadCookieFile(text, manager);
}

void SaveCookieFile(const std::string& file_name, net::TNetCookieManager& manager) {
  const std::string text = CookieFileText(manager);
  std::FILE* out = std::fopen(file_name.c_str(), "wb");
  if (out != nullptr) {
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) == 0 && written) return;
  }
  throw EFetchError(fxWriteError, "Failed to save cookies in " + file_name);
}

}  // namespace meridian::fetch
