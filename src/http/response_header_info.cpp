#include "http/response_header_info.h"

#include "http/header_values.h"
#include "rtl/text.h"

namespace meridian::net {

TNetResponseHeaderInfo::TNetResponseHeaderInfo()
    : proxy_authenticate_(std::make_unique<TNetHeaderList>()), www_authenticate_(std::make_unique<TNetHeaderList>()) {
  TNetResponseHeaderInfo::Clear();
}

TNetResponseHeaderInfo::~TNetResponseHeaderInfo() = default;

void TNetResponseHeaderInfo::SetProxyAuthenticate(const TNetHeaderList& challenges) {
  proxy_authenticate_->Assign(challenges);
}

void TNetResponseHeaderInfo::SetWWWAuthenticate(const TNetHeaderList& challenges) {
  www_authenticate_->Assign(challenges);
}

void TNetResponseHeaderInfo::Clear() {
  TNetEntityHeaderInfo::Clear();
  location_.clear();
  server_.clear();
  proxy_authenticate_->Clear();
  www_authenticate_->Clear();
}

void TNetResponseHeaderInfo::ParseHeaders() {
  const TNetHeaderList& wire = WireHeaders();
  location_ = wire.GetValue("Location");
  server_ = wire.GetValue("Server");
  proxy_connection_ = wire.GetValue("Proxy-Connection");

  // 'bytes 0-499/1000': the unit, the first and the last byte, the length. A
  // 416 answer carries 'bytes */1000'; its bounds read as 0 so that the status
  // is what the caller sees.
  std::string range = wire.GetValue("Content-Range");
  if (!range.empty()) {
    rtl::Fetch(range, " ");
    SetContentRangeStart(RangeBound(rtl::Fetch(range, "-")));
    SetContentRangeEnd(RangeBound(rtl::Fetch(range, "/")));
  }

  www_authenticate_->Clear();
  wire.CollectValues("WWW-Authenticate", www_authenticate_.get());
  proxy_authenticate_->Clear();
  wire.CollectValues("Proxy-Authenticate", proxy_authenticate_.get());

  TNetEntityHeaderInfo::ParseHeaders();
}

}  // namespace meridian::net
