// The three cookie forms a server may send: Netscape cookies, RFC 2109
// cookies ("Set-cookie") and RFC 2965 cookies ("Set-cookie2"). Each parses
// its header value, writes itself back as attribute text and checks whether a
// host may set it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/component.h"
#include "rtl/date_time.h"

namespace meridian::net {

class TNetCookies;
class TNetCookieRFC2109;

// A Netscape cookie: name, value, path, domain, expiry text and the secure
// flag. An item of a TNetCookies collection, which owns it; a cookie made
// without a collection belongs to its creator.
// Not thread-safe: a stored cookie changes only under its collection's write
// lock (see TNetCookies).
class TNetNetscapeCookie : public rtl::TPersistent {
 public:
  explicit TNetNetscapeCookie(TNetCookies* collection = nullptr);
  ~TNetNetscapeCookie() override = default;

  std::string ClassName() const override { return "TNetNetscapeCookie"; }

  // The collection holding this cookie; null for a free-standing cookie.
  TNetCookies* Collection() const { return collection_; }

  // The header value last parsed. Setting a different text parses it: the
  // text is split into ";"-separated items (no quoting), the first gives the
  // name and value (split at the first "="), the others the attributes, their
  // names upper-cased. Setting the same text again changes nothing.
  // Throws rtl::EConvertError for an RFC 2965 cookie whose Port list holds a
  // non-number; the cookie is then parsed but for its ports.
  const std::string& SourceText() const { return source_text_; }
  void SetSourceText(const std::string& text);

  // The domain attribute, or the host that sent the cookie when it names none.
  const std::string& Domain() const { return domain_; }
  void SetDomain(std::string domain) { domain_ = std::move(domain); }

  // Expiry date as an HTTP date text; empty when the cookie has none.
  const std::string& ExpiresText() const { return expires_text_; }
  virtual void SetExpiresText(const std::string& text);

  // True when the expiry text, read as an HTTP date, is at or before
  // `now_local` (local time) in a zone `local_offset` east of UTC. An
  // unreadable date counts as long past; no expiry text never expires.
  bool ExpiredAt(rtl::TDateTime now_local, rtl::TDateTime local_offset) const;
  // The same for the current moment and zone.
  // Throws ENetFailedToRetreiveTimeZoneInfo when the local zone is unknown.
  bool Expired() const;

  const std::string& CookieName() const { return cookie_name_; }
  void SetCookieName(std::string name) { cookie_name_ = std::move(name); }

  // Path attribute with surrounding double quotes removed.
  const std::string& Path() const { return path_; }
  void SetPath(std::string path) { path_ = std::move(path); }

  // True when the cookie may only travel over a secure connection.
  bool Secure() const { return secure_; }
  void SetSecure(bool secure) { secure_ = secure; }

  const std::string& CookieValue() const { return cookie_value_; }
  void SetCookieValue(std::string value) { cookie_value_ = std::move(value); }

  // 0 Netscape, 1 RFC 2109, 2 RFC 2965: decides whether "expires" is written
  // back by ServerText. Default: 0.
  int16_t Flavour() const { return flavour_; }
  void SetFlavour(int16_t flavour) { flavour_ = flavour; }

  // The whole cookie as attribute text: name=value, then path, expires (only
  // for flavour 0), domain and secure.
  virtual std::string ServerText() const;
  // "name=value", as sent in a "Cookie" header.
  virtual std::string ClientText() const;

  // True when `host` may set this cookie: the cookie's domain is the host
  // itself or, for a host name, the domain one level above it (".area.test"
  // for "node.area.test"). An IPv4 host may only set cookies for itself.
  virtual bool IsValidFor(std::string_view host) const;

  // A cookie of the RFC 2109 or RFC 2965 kind hands its whole content (text,
  // name, value, attributes and flavour) to this one; a source of another
  // kind changes nothing.
  void Assign(const rtl::TPersistent& source) override;

 protected:
  // The attribute items after the first, normalised: "NAME=value" or "FLAG".
  using TAttributes = std::vector<std::string>;

  // Loads the attributes this class knows; derived classes run their
  // parent's part first.
  virtual void LoadAttributes(const TAttributes& attributes);

  // Takes over the content of `source` (see Assign); derived classes run
  // their parent's part first.
  virtual void TakeOver(const TNetCookieRFC2109& source);

  // Value of the first item named `name` (letter case ignored); empty when
  // there is none.
  static std::string AttributeValue(const TAttributes& attributes, std::string_view name);
  // True when a value-less item equal to `flag` (letter case ignored) exists.
  static bool HasFlag(const TAttributes& attributes, std::string_view flag);

 private:
  TNetCookies* collection_;
  std::string source_text_;
  std::string domain_;
  std::string expires_text_;
  rtl::TDateTime expires_utc_ = 0;  // the expiry text read once, in UTC
  std::string cookie_name_;
  std::string path_;
  bool secure_ = false;
  std::string cookie_value_;
  int16_t flavour_ = 0;
};

// A cookie of RFC 2109 ("Set-cookie"): adds Max-Age, Version and Comment.
// A cookie with a Max-Age but no expiry date gets the date now plus Max-Age
// as its expiry text.
class TNetCookieRFC2109 : public TNetNetscapeCookie {
 public:
  explicit TNetCookieRFC2109(TNetCookies* collection = nullptr);

  std::string ClassName() const override { return "TNetCookieRFC2109"; }

  // Seconds to live; -1 when absent. Setting the expiry text recomputes it as
  // the whole seconds from now to that date (clamped to the 64-bit range).
  int64_t MaxAge() const { return max_age_; }
  void SetMaxAge(int64_t max_age) { max_age_ = max_age; }

  const std::string& Version() const { return version_; }
  void SetVersion(std::string version) { version_ = std::move(version); }

  const std::string& Comment() const { return comment_; }
  void SetComment(std::string comment) { comment_ = std::move(comment); }

  void SetExpiresText(const std::string& text) override;
  // Adds max-age (when there is no expiry text), comment and version.
  std::string ServerText() const override;

 protected:
  void LoadAttributes(const TAttributes& attributes) override;
  void TakeOver(const TNetCookieRFC2109& source) override;

 private:
  int64_t max_age_ = -1;
  std::string version_;
  std::string comment_;
};

// A cookie of RFC 2965 ("Set-cookie2"): adds CommentURL, Discard and the
// ports the cookie is meant for.
class TNetCookieRFC2965 : public TNetCookieRFC2109 {
 public:
  explicit TNetCookieRFC2965(TNetCookies* collection = nullptr);

  std::string ClassName() const override { return "TNetCookieRFC2965"; }

  const std::string& CommentURL() const { return comment_url_; }
  void SetCommentURL(std::string url) { comment_url_ = std::move(url); }

  bool Discard() const { return discard_; }
  void SetDiscard(bool discard) { discard_ = discard; }

  // The ports from the "Port" attribute; [80] when it is empty or an empty
  // quoted list.
  const std::vector<int32_t>& Ports() const { return ports_; }
  // Replaces the port at `index`; an index equal to the count appends.
  // Throws ENetCookieIndexOutOfRange "Index out of range." for any other index.
  void SetPort(int32_t index, int32_t port);

 protected:
  void LoadAttributes(const TAttributes& attributes) override;
  void TakeOver(const TNetCookieRFC2109& source) override;

 private:
  std::string comment_url_;
  bool discard_ = false;
  std::vector<int32_t> ports_;
};

// True when `text` is an IPv4 address: four "."-separated decimal numbers
// from 0 to 255, surrounding blanks ignored.
bool IsIPv4Address(std::string_view text);

}  // namespace meridian::net
