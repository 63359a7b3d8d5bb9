#include "uri/uri.h"

#include <algorithm>

#include "net/exceptions.h"
#include "rtl/code_page.h"
#include "rtl/text.h"

namespace meridian::net {

namespace {

constexpr const char* kProtocolFieldEmpty = "Protocol field is empty";
constexpr const char* kHostFieldEmpty = "Host field is empty";

// Cuts `text` at the first `delimiter`: `text` keeps what comes before it and
// the rest (without the delimiter) is returned; empty without a delimiter.
std::string CutAt(std::string& text, std::string_view delimiter) {
  std::string rest = std::move(text);
  text = rtl::Fetch(rest, delimiter);
  return rest;
}

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
  std::string rest = uri_;
  host_.clear();
  protocol_.clear();
  path_.clear();
  document_.clear();
  port_.clear();
  bookmark_.clear();
  username_.clear();
  password_.clear();
  params_.clear();

  const size_t scheme_end = rtl::FirstOccurrence("://", rest);
  if (scheme_end > 0) {
    protocol_ = rest.substr(0, scheme_end - 1);
    rest.erase(0, scheme_end + 2);
    std::string authority = rtl::Fetch(rest, "/");
    const size_t at = rtl::FirstOccurrence("@", authority);
    if (at > 0) {
      password_ = authority.substr(0, at - 1);
      authority.erase(0, at);
    }
    username_ = rtl::Fetch(password_, ":");
    if (username_.empty()) password_.clear();
    if (!SplitBracketedHost(authority)) {
      host_ = rtl::Fetch(authority, ":");
      port_ = std::move(authority);
    }
  }
  ParsePathAndQuery(std::move(rest), scheme_end > 0);
  if (bookmark_.empty()) bookmark_ = CutAt(params_, "#");
}

bool TNetURI::SplitBracketedHost(const std::string& authority) {
  // "[" address "]" [":" port]: an IPv6 literal, whose colons are no port
  // separators. Anything else that starts with "[" takes the plain road.
  if (authority.empty() || authority.front() != '[') return false;
  const size_t close = authority.find(']');
  if (close == std::string::npos) return false;
  if (close + 1 < authority.size() && authority[close + 1] != ':') return false;
  host_ = authority.substr(1, close - 1);
  port_ = close + 1 < authority.size() ? authority.substr(close + 2) : std::string();
  return true;
}

std::string TNetURI::AuthorityHost(const std::string& host) {
  if (host.find(':') == std::string::npos) return host;
  return "[" + host + "]";
}

void TNetURI::ParsePathAndQuery(std::string rest, bool absolute) {
  // A "=" starts the query only when there is no "?" at all.
  size_t query = rtl::FirstOccurrence("?", rest);
  if (query == 0) query = rtl::FirstOccurrence("=", rest);
  // The directory ends at the last "/" before the query: a "/" inside the
  // query belongs to it.
  const size_t slash = rtl::LastOccurrenceAtOrBefore("/", rest, query > 0 ? static_cast<int64_t>(query) : -1);

  path_.clear();
  if (absolute) path_.push_back('/');
  path_.append(rest, 0, slash);
  if (query > 0) {
    document_ = rest.substr(0, query - 1);
    params_ = rest.substr(query - 1);
  } else {
    document_ = std::move(rest);
  }
  document_.erase(0, std::min(slash, document_.size()));
  if (absolute) bookmark_ = CutAt(document_, "#");
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
