// The request header record: the entity fields plus what a client sends about
// itself, its target host and its credentials.
#pragma once

#include <memory>
#include <string>

#include "auth/authentication.h"
#include "http/entity_header_info.h"

namespace meridian::net {

// The request record is kept across requests: fields that a caller or an
// earlier request set stay until changed.
class TNetRequestHeaderInfo : public TNetEntityHeaderInfo {
 public:
  TNetRequestHeaderInfo();
  ~TNetRequestHeaderInfo() override;
  std::string ClassName() const override { return "TNetRequestHeaderInfo"; }

  // From another request record: copies Accept, AcceptCharSet, AcceptEncoding,
  // AcceptLanguage, From, Password, Referer, UserAgent, Username and
  // BasicAuthentication, and nothing of the entity part (so ContentType, Host
  // and the Authenticator stay). From any other entity record: the entity copy.
  void Assign(const rtl::TPersistent& source) override;

  // Reads the request's own lines, "Range" included, then the entity lines.
  void ParseHeaders() override;
  // The entity lines, then "Proxy-Connection", "Host", "Accept",
  // "Accept-Charset", "Accept-Encoding", "Accept-Language", "From", "Referer",
  // "User-Agent", "If-Modified-Since", "Range" and "Authorization", each only
  // when it has a value. With BasicAuthentication set and no Authenticator, a
  // Basic scheme holding Username and Password is created and attached first.
  void ComposeHeaders() override;
  // Accept "text/html, */*", AcceptCharSet empty, UserAgent
  // "Mozilla/3.0 (compatible; Meridian Library)", BasicAuthentication false,
  // then the entity Clear. The other fields stay.
  void Clear() override;

  const std::string& Accept() const { return accept_; }
  void SetAccept(std::string value) { accept_ = std::move(value); }
  const std::string& AcceptCharSet() const { return accept_char_set_; }
  void SetAcceptCharSet(std::string value) { accept_char_set_ = std::move(value); }
  const std::string& AcceptEncoding() const { return accept_encoding_; }
  void SetAcceptEncoding(std::string value) { accept_encoding_ = std::move(value); }
  const std::string& AcceptLanguage() const { return accept_language_; }
  void SetAcceptLanguage(std::string value) { accept_language_ = std::move(value); }
  const std::string& From() const { return from_; }
  void SetFrom(std::string value) { from_ = std::move(value); }
  // Credentials sent by a Basic scheme the record creates itself.
  const std::string& Password() const { return password_; }
  void SetPassword(std::string value) { password_ = std::move(value); }
  const std::string& Referer() const { return referer_; }
  void SetReferer(std::string value) { referer_ = std::move(value); }
  const std::string& UserAgent() const { return user_agent_; }
  void SetUserAgent(std::string value) { user_agent_ = std::move(value); }
  const std::string& Username() const { return username_; }
  void SetUsername(std::string value) { username_ = std::move(value); }
  const std::string& Host() const { return host_; }
  void SetHost(std::string value) { host_ = std::move(value); }
  // Send Basic credentials without waiting for a challenge. Default: false.
  bool BasicAuthentication() const { return basic_authentication_; }
  void SetBasicAuthentication(bool value) { basic_authentication_ = value; }
  const std::string& ProxyConnection() const { return proxy_connection_; }
  void SetProxyConnection(std::string value) { proxy_connection_ = std::move(value); }

  // The scheme that makes the "Authorization" line, or nullptr. The record
  // owns it; attaching another (or nullptr) destroys the one held.
  TNetAuthentication* Authenticator() const { return authenticator_.get(); }
  void SetAuthenticator(std::unique_ptr<TNetAuthentication> authenticator);

 private:
  std::string accept_;
  std::string accept_char_set_;
  std::string accept_encoding_;
  std::string accept_language_;
  std::string from_;
  std::string password_;
  std::string referer_;
  std::string user_agent_;
  std::string username_;
  std::string host_;
  bool basic_authentication_ = false;
  std::string proxy_connection_;
  std::unique_ptr<TNetAuthentication> authenticator_;
};

}  // namespace meridian::net
