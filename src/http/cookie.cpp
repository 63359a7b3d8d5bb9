// Parsing, writing back and domain checks of the three cookie forms.
#include "http/cookie.h"

#include <cmath>
#include <limits>
#include <utility>

#include "http/http_date.h"
#include "net/exceptions.h"
#include "rtl/exceptions.h"
#include "rtl/text.h"
#include "transport/net_stack.h"

namespace meridian::net {

namespace {

// The last second that dates can hold: 31 December 9999, 23:59:59.
constexpr rtl::TDateTime kLastDate = 2958465.0 + 86399.0 / rtl::kSecondsPerDay;

// The expiry of a cookie that ends as it arrives: long past.
constexpr const char* kEndedExpiry = "Thu, 01 Jan 1970 00:00:00 GMT";

// Splits "a; b;c" into trimmed items. A rest after the last ";" is an item
// even when it trims to nothing; a text without ";" is one item.
std::vector<std::string> SplitItems(std::string text, std::string_view delimiter) {
  std::vector<std::string> items;
  while (rtl::FirstOccurrence(delimiter, text) > 0) items.push_back(rtl::Trim(rtl::Fetch(text, delimiter)));
  if (!text.empty()) items.push_back(rtl::Trim(text));
  return items;
}

// "NAME=value" with the name upper-cased, or "FLAG" for an item without "=".
std::string NormaliseItem(std::string item) {
  const size_t at = rtl::FirstOccurrence("=", item);
  if (at == 0) return rtl::UpperCase(item);
  return rtl::UpperCase(std::string_view(item).substr(0, at - 1)) + item.substr(at - 1);
}

// Removes one leading and one trailing double quote when present.
std::string Unquote(std::string text) {
  if (!text.empty() && text.front() == '"') text.erase(0, 1);
  if (!text.empty() && text.back() == '"') text.pop_back();
  return text;
}

void AppendAttribute(std::string& text, std::string_view name, const std::string& value) {
  if (value.empty()) return;
  text.append("; ").append(name).append("=").append(value);
}

// The part of a host name from its first "." on; empty without a ".".
std::string DomainPart(std::string_view host) {
  const size_t at = rtl::FirstOccurrence(".", host);
  return at == 0 ? std::string() : std::string(host.substr(at - 1));
}

// Expiry text for a cookie that lives `seconds` from now, clamped to the last
// date the calendar can hold.
std::string ExpiryAfter(int64_t seconds) {
  const rtl::TDateTime now = rtl::Now();
  const double days = static_cast<double>(seconds) / rtl::kSecondsPerDay;
  const rtl::TDateTime expiry = days >= kLastDate - now ? kLastDate : now + days;
  return FormatHttpDate(expiry, false);
}

// Whole seconds from now to `expiry`, truncated toward zero and clamped to
// the 64-bit range.
int64_t SecondsUntil(rtl::TDateTime expiry) {
  const double seconds = std::trunc((expiry - rtl::Now()) * rtl::kSecondsPerDay);
  // 2^63 as a double: the first value past the range.
  constexpr double kLimit = 9223372036854775808.0;
  if (std::isnan(seconds)) return 0;
  if (seconds >= kLimit) return std::numeric_limits<int64_t>::max();
  if (seconds < -kLimit) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(seconds);
}

}  // namespace

bool IsIPv4Address(std::string_view text) {
  std::string rest = rtl::Trim(text);
  for (int part = 0; part < 4; ++part) {
    const std::string number = part < 3 ? rtl::Fetch(rest, ".") : std::exchange(rest, std::string());
    if (number.empty() || number.size() > 3) return false;
    int value = 0;
    for (char c : number) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (value > 255) return false;
    // Fewer than four parts: Fetch emptied the text early.
    if (part < 3 && rest.empty()) return false;
  }
  return true;
}

// ---- TNetNetscapeCookie ----

TNetNetscapeCookie::TNetNetscapeCookie(TNetCookies* collection) : collection_(collection) {}

void TNetNetscapeCookie::SetSourceText(const std::string& text) {
  if (text == source_text_) return;
  source_text_ = text;
  std::vector<std::string> items = SplitItems(text, ";");
  std::string first = items.empty() ? std::string() : items.front();
  cookie_name_ = rtl::Fetch(first, "=");
  cookie_value_ = std::move(first);
  TAttributes attributes;
  if (items.size() > 1) {
    attributes.reserve(items.size() - 1);
    for (size_t i = 1; i < items.size(); ++i) attributes.push_back(NormaliseItem(std::move(items[i])));
  }
  LoadAttributes(attributes);
}

void TNetNetscapeCookie::SetExpiresText(const std::string& text) {
  expires_text_ = text;
  // Read the date once here rather than at every expiry check: the check
  // runs for every cookie before every request. As HttpDateToLocal does, a
  // numeric zone is taken off and any other zone counts as UTC; the local
  // offset is added at the check.
  std::string zone = text;
  const rtl::TDateTime date = ParseHttpDate(zone);
  expires_utc_ = date - (zone.size() >= 5 ? ParseZoneOffset(zone) : 0);
}

bool TNetNetscapeCookie::ExpiredAt(rtl::TDateTime now_local, rtl::TDateTime local_offset) const {
  return !expires_text_.empty() && now_local >= expires_utc_ + local_offset;
}

bool TNetNetscapeCookie::Expired() const { return ExpiredAt(rtl::Now(), LocalOffsetFromUTC()); }

std::string TNetNetscapeCookie::ServerText() const {
  std::string text;
  if (!cookie_value_.empty()) text = cookie_name_ + "=" + cookie_value_;
  AppendAttribute(text, "path", path_);
  if (flavour_ == 0) AppendAttribute(text, "expires", expires_text_);
  AppendAttribute(text, "domain", domain_);
  if (secure_) text.append(text.empty() ? "secure" : "; secure");
  return text;
}

std::string TNetNetscapeCookie::ClientText() const { return cookie_name_ + "=" + cookie_value_; }

bool TNetNetscapeCookie::IsValidFor(std::string_view host) const {
  if (IsIPv4Address(host)) return domain_ == host;
  // An IPv6 address has no parent domain: its dots (in a trailing IPv4
  // form) are no label separators. Hex digits in either letter case.
  if (TNetStack::IsIPv6(rtl::Trim(host))) return rtl::SameText(domain_, rtl::Trim(host));
  if (host.empty() || host.front() != '.') {
    if ((!domain_.empty() && domain_.front() == '.') || IsIPv4Address(domain_)) return domain_ == DomainPart(host);
    return domain_ == host;
  }
  return rtl::SameText(domain_, DomainPart(host));
}

void TNetNetscapeCookie::Assign(const rtl::TPersistent& source) {
  // Only the RFC kinds carry everything a stored cookie needs; this mirrors
  // how a replacing "Set-cookie" is always parsed into one of them.
  if (const auto* cookie = dynamic_cast<const TNetCookieRFC2109*>(&source)) {
    if (cookie != this) TakeOver(*cookie);
  }
}

void TNetNetscapeCookie::LoadAttributes(const TAttributes& attributes) {
  path_ = Unquote(AttributeValue(attributes, "PATH"));
  SetExpiresText(AttributeValue(attributes, "EXPIRES"));
  domain_ = AttributeValue(attributes, "DOMAIN");
  secure_ = HasFlag(attributes, "SECURE");
}

void TNetNetscapeCookie::TakeOver(const TNetCookieRFC2109& source) {
  // Fields are copied rather than re-read from source.ServerText(): that text
  // omits an "expires" date received from the server and, for an empty value,
  // the name, so re-reading it would lose both.
  source_text_ = source.source_text_;
  domain_ = source.domain_;
  expires_text_ = source.expires_text_;
  expires_utc_ = source.expires_utc_;
  cookie_name_ = source.cookie_name_;
  path_ = source.path_;
  secure_ = source.secure_;
  cookie_value_ = source.cookie_value_;
  flavour_ = source.flavour_;
}

std::string TNetNetscapeCookie::AttributeValue(const TAttributes& attributes, std::string_view name) {
  for (const std::string& item : attributes) {
    if (item.size() > name.size() && item[name.size()] == '=' &&
        rtl::SameText(std::string_view(item).substr(0, name.size()), name)) {
      return item.substr(name.size() + 1);
    }
  }
  return std::string();
}

bool TNetNetscapeCookie::HasFlag(const TAttributes& attributes, std::string_view flag) {
  for (const std::string& item : attributes) {
    if (rtl::SameText(item, flag)) return true;
  }
  return false;
}

// ---- TNetCookieRFC2109 ----

TNetCookieRFC2109::TNetCookieRFC2109(TNetCookies* collection) : TNetNetscapeCookie(collection) { SetFlavour(1); }

void TNetCookieRFC2109::SetExpiresText(const std::string& text) {
  std::string date = text;
  // A text that is no date leaves Max-Age alone; so does a zone that cannot
  // be told.
  if (ParseHttpDate(date) != 0) {
    try {
      max_age_ = SecondsUntil(HttpDateToLocal(text));
    } catch (const rtl::Exception&) {
    }
  }
  TNetNetscapeCookie::SetExpiresText(text);
}

std::string TNetCookieRFC2109::ServerText() const {
  std::string text = TNetNetscapeCookie::ServerText();
  if (max_age_ >= 0 && ExpiresText().empty()) AppendAttribute(text, "max-age", std::to_string(max_age_));
  AppendAttribute(text, "comment", comment_);
  AppendAttribute(text, "version", version_);
  return text;
}

void TNetCookieRFC2109::LoadAttributes(const TAttributes& attributes) {
  TNetNetscapeCookie::LoadAttributes(attributes);
  int64_t age = 0;
  const bool numeric = rtl::TryStrToInt64(AttributeValue(attributes, "MAX-AGE"), age);
  max_age_ = numeric ? age : -1;
  // A Max-Age of 0 or below ends the cookie now, whatever Expires says: it
  // removes a stored one of the same domain and name.
  const bool ends_now = numeric && age <= 0;
  version_ = AttributeValue(attributes, "VERSION");
  comment_ = AttributeValue(attributes, "COMMENT");
  if (ExpiresText().empty()) SetFlavour(0);
  if (ends_now) {
    SetExpiresText(kEndedExpiry);
    max_age_ = age;  // the setter computed one from the date
  } else if (ExpiresText().empty() && max_age_ >= 0) {
    SetExpiresText(ExpiryAfter(max_age_));
  }
}

void TNetCookieRFC2109::TakeOver(const TNetCookieRFC2109& source) {
  TNetNetscapeCookie::TakeOver(source);
  max_age_ = source.max_age_;
  version_ = source.version_;
  comment_ = source.comment_;
}

// ---- TNetCookieRFC2965 ----

TNetCookieRFC2965::TNetCookieRFC2965(TNetCookies* collection) : TNetCookieRFC2109(collection) { SetFlavour(2); }

void TNetCookieRFC2965::SetPort(int32_t index, int32_t port) {
  if (index < 0 || static_cast<size_t>(index) > ports_.size()) throw ENetCookieIndexOutOfRange();
  if (static_cast<size_t>(index) == ports_.size()) {
    ports_.push_back(port);
  } else {
    ports_[static_cast<size_t>(index)] = port;
  }
}

void TNetCookieRFC2965::LoadAttributes(const TAttributes& attributes) {
  TNetCookieRFC2109::LoadAttributes(attributes);
  comment_url_ = AttributeValue(attributes, "COMMENTURL");
  discard_ = HasFlag(attributes, "DISCARD");
  const std::string ports = AttributeValue(attributes, "PORT");
  if (ports.empty()) {
    ports_.assign(1, 80);
  } else if (ports.size() >= 2 && ports.front() == '"' && ports.back() == '"') {
    // Convert the whole list before touching the ports, so a bad element
    // leaves the previous list whole.
    std::vector<int32_t> parsed;
    for (const std::string& element : SplitItems(ports.substr(1, ports.size() - 2), ",")) {
      parsed.push_back(rtl::StrToInt(element));
    }
    if (parsed.empty()) parsed.push_back(80);
    ports_ = std::move(parsed);
  }
}

void TNetCookieRFC2965::TakeOver(const TNetCookieRFC2109& source) {
  TNetCookieRFC2109::TakeOver(source);
  if (const auto* cookie = dynamic_cast<const TNetCookieRFC2965*>(&source)) {
    comment_url_ = cookie->comment_url_;
    discard_ = cookie->discard_;
    ports_ = cookie->ports_;
  } else {
    // What parsing a cookie text without these attributes gives.
    comment_url_.clear();
    discard_ = false;
    ports_.assign(1, 80);
  }
}

}  // namespace meridian::net
