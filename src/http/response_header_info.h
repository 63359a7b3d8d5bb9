// The response header record: the entity fields plus where a response points,
// who sent it and the challenges of a server or a proxy.
#pragma once

#include <memory>
#include <string>

#include "http/entity_header_info.h"

namespace meridian::net {

// Every ParseHeaders overwrites the fields named here and in the entity record.
class TNetResponseHeaderInfo : public TNetEntityHeaderInfo {
 public:
  TNetResponseHeaderInfo();
  ~TNetResponseHeaderInfo() override;
  std::string ClassName() const override { return "TNetResponseHeaderInfo"; }

  // Reads "Location", "Server", "Proxy-Connection", "Content-Range" and every
  // "WWW-Authenticate" and "Proxy-Authenticate" line, then the entity lines.
  // A Content-Range bound that is no number ('bytes */1000') reads as 0.
  void ParseHeaders() override;
  // The entity Clear, then Location, Server and the two challenge lists.
  void Clear() override;

  const std::string& Location() const { return location_; }
  void SetLocation(std::string value) { location_ = std::move(value); }
  const std::string& Server() const { return server_; }
  void SetServer(std::string value) { server_ = std::move(value); }
  const std::string& ProxyConnection() const { return proxy_connection_; }
  void SetProxyConnection(std::string value) { proxy_connection_ = std::move(value); }
  // The values of all "Proxy-Authenticate" lines, one challenge a line.
  const TNetHeaderList& ProxyAuthenticate() const { return *proxy_authenticate_; }
  // Copies the lines of `challenges`.
  void SetProxyAuthenticate(const TNetHeaderList& challenges);
  // The values of all "WWW-Authenticate" lines, one challenge a line.
  const TNetHeaderList& WWWAuthenticate() const { return *www_authenticate_; }
  // Copies the lines of `challenges`.
  void SetWWWAuthenticate(const TNetHeaderList& challenges);

 protected:
  // The first "Transfer-Encoding" and "Content-Length" lines of the block
  // ParseHeaders read last, -1 when there is none: where the body's framing
  // is read from.
  int32_t FirstTransferEncoding() const { return first_transfer_encoding_; }
  int32_t FirstContentLength() const { return first_content_length_; }

 private:
  int32_t first_transfer_encoding_ = -1;
  int32_t first_content_length_ = -1;
  std::string location_;
  std::string server_;
  std::string proxy_connection_;
  std::unique_ptr<TNetHeaderList> proxy_authenticate_;
  std::unique_ptr<TNetHeaderList> www_authenticate_;
};

}  // namespace meridian::net
