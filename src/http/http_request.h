// The request side of an HTTP exchange: the request record and the enumerations
// that steer the client through one exchange.
#pragma once

#include <cstdint>
#include <string>

#include "http/request_header_info.h"
#include "rtl/bit_set.h"

namespace meridian::rtl {
class TStream;
}

namespace meridian::net {

enum TNetHTTPMethod : uint8_t { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };

enum TNetHTTPOption : uint8_t { hoInProcessAuth, hoKeepOrigProtocol, hoForceEncodeParams };
using TNetHTTPOptions = rtl::TSet<TNetHTTPOption>;

// How a pass reaches the server: straight, over TLS, through an HTTP proxy,
// or through a CONNECT tunnel of an HTTP proxy with TLS inside it.
enum TNetHTTPRoute : uint8_t { rtDirect, rtTLS, rtProxy, rtTLSProxy };

// The method word of the request line, with its trailing blank ("GET ").
const char* HTTPMethodWord(TNetHTTPMethod method);

// The request record of an HTTP client: the header fields of its base class
// plus what the request line and the body need. The client owns the record;
// the upload stream is the caller's.
class TNetHTTPRequest : public TNetRequestHeaderInfo {
 public:
  std::string ClassName() const override { return "TNetHTTPRequest"; }

  // The request target of the request line: the caller's URL at first, then
  // the resolved path, document and query (or the absolute URL through a
  // proxy, or host:port for CONNECT).
  const std::string& Target() const { return target_; }
  void SetTarget(std::string target) { target_ = std::move(target); }

  // Default: hmGet.
  TNetHTTPMethod Method() const { return method_; }
  void SetMethod(TNetHTTPMethod method) { method_ = method; }

  // The body sent with POST and PUT, or none. Not owned.
  rtl::TStream* UploadStream() const { return upload_stream_; }
  void SetUploadStream(rtl::TStream* stream) { upload_stream_ = stream; }

  // The route chosen for the current pass. Default: rtDirect.
  TNetHTTPRoute Route() const { return route_; }
  void SetRoute(TNetHTTPRoute route) { route_ = route; }

 private:
  std::string target_;
  TNetHTTPMethod method_ = hmGet;
  rtl::TStream* upload_stream_ = nullptr;
  TNetHTTPRoute route_ = rtDirect;
};

}  // namespace meridian::net
