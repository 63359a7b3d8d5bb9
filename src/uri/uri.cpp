#include "uri/uri.h"

#include <algorithm>

#include "net/exceptions.h"
#include "rtl/code_page.h"
#include "rtl/text.h"

namespace meridian::net {

namespace {

constexpr const char* kProtocolFieldEmpty = "Protocol field is empty";
constexpr const char* kHostFieldEmpty = "Host field is empty";

}  // namespace

TNetURI::TNetURI(std::string_view uri) {
  if (!uri.empty()) SetURI(uri);
}

void TNetURI::NormalizeSlashes(std::string& path) {
  size_t i = path.find('\\');
  if (i == std::string::npos) return;
  // A backslash can be the second byte of a character: walk from the start.
  if (rtl::HasLeadBytes()) i = 0;
  while (i < path.size()) {
    if (rtl::IsLeadByte(path[i])) {
      i += 2;
      continue;
    }
    if (path[i] == '\\') path[i] = '/';
    ++i;
  }
}

void TNetURI::SetURI(std::string_view uri) {
  uri_ = uri;
  NormalizeSlashes(uri_);
  std::string_view rest = uri_;
  host_.clear();
  protocol_.clear();
  port_.clear();
  username_.clear();
  password_.clear();

  const size_t scheme_end = rtl::FirstOccurrence("://", rest);
  if (scheme_end > 0) {
    protocol_ = rest.substr(0, scheme_end - 1);
    rest.remove_prefix(scheme_end + 2);
    std::string_view authority = rtl::FetchView(rest, "/");
    const size_t at = rtl::FirstOccurrence("@", authority);
    if (at > 0) {
      std::string_view user_info = authority.substr(0, at - 1);
      authority.remove_prefix(at);
      username_ = rtl::FetchView(user_info, ":");
      if (!username_.empty()) password_ = user_info;
    }
    if (!SplitBracketedHost(authority)) {
      host_ = rtl::FetchView(authority, ":");
      port_ = authority;
    }
  }
  ParsePathAndQuery(rest, scheme_end > 0);
}

bool TNetURI::SplitBracketedHost(std::string_view authority) {
  // "[" address "]" [":" port]: an IPv6 literal, whose colons are no port
  // separators. Anything else that starts with "[" takes the plain road.
  if (authority.empty() || authority.front() != '[') return false;
  const size_t close = authority.find(']');
  if (close == std::string_view::npos) return false;
  if (close + 1 < authority.size() && authority[close + 1] != ':') return false;
  host_ = authority.substr(1, close - 1);
  port_ = close + 1 < authority.size() ? authority.substr(close + 2) : std::string_view();
  return true;
}

std::string TNetURI::AuthorityHost(const std::string& host) {
  if (host.find(':') == std::string::npos) return host;
  return "[" + host + "]";
}

void TNetURI::ParsePathAndQuery(std::string_view rest, bool absolute) {
  // A "=" starts the query only when there is no "?" at all.
  size_t query = rtl::FirstOccurrence("?", rest);
  if (query == 0) query = rtl::FirstOccurrence("=", rest);
  // The directory ends at the last "/" before the query: a "/" inside the
  // query belongs to it.
  const size_t slash = rtl::LastOccurrenceAtOrBefore("/", rest, query > 0 ? static_cast<int64_t>(query) : -1);

  path_.clear();
  if (absolute) path_.push_back('/');
  path_.append(rest.substr(0, slash));
  std::string_view document = query > 0 ? rest.substr(0, query - 1) : rest;
  std::string_view params = query > 0 ? rest.substr(query - 1) : std::string_view();
  document.remove_prefix(std::min(slash, document.size()));
  // The fragment: after a "#" in the document of a full URL, else after one
  // in the query.
  std::string_view bookmark;
  if (absolute) {
    bookmark = document;
    document = rtl::FetchView(bookmark, "#");
  }
  if (bookmark.empty()) {
    bookmark = params;
    params = rtl::FetchView(bookmark, "#");
  }
  document_ = document;
  params_ = params;
  bookmark_ = bookmark;
}

std::string TNetURI::ComposeURI(TNetURIOptionalParts optional_parts) const {
  if (protocol_.empty()) throw ENetURIException(kProtocolFieldEmpty);
  std::string result = protocol_ + "://";
  if (!username_.empty() && optional_parts.Contains(upAuthInfo)) {
    result += username_;
    if (!password_.empty()) result += ":" + password_;
    result += "@";
  }
  if (host_.empty()) throw ENetURIException(kHostFieldEmpty);
  result += AuthorityHost(host_);
  if (!port_.empty()) result += ":" + port_;
  result += path_;
  result += document_;
  result += params_;
  if (!bookmark_.empty() && optional_parts.Contains(upBookmark)) result += "#" + bookmark_;
  return result;
}

std::string TNetURI::URI() {
  std::string full = ComposeURI();
  std::string plain = ComposeURI({});
  uri_ = std::move(full);
  return plain;
}

}  // namespace meridian::net
