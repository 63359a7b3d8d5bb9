#include "http/response_header_info.h"

#include <algorithm>
#include <array>

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
  first_transfer_encoding_ = -1;
  first_content_length_ = -1;
  location_.clear();
  server_.clear();
  proxy_authenticate_->Clear();
  www_authenticate_->Clear();
}

void TNetResponseHeaderInfo::ParseHeaders() {
  // The entity's names and these, found in one pass over the lines.
  constexpr size_t kEntity = kEntityNames.size();
  enum : size_t {
    kLocation = kEntity,
    kServer,
    kProxyConnection,
    kRange,
    kWWWAuthenticate,
    kProxyAuthenticate,
    kTransferEncoding,
    kCount
  };
  static constexpr std::array<std::string_view, kCount> kNames = [] {
    std::array<std::string_view, kCount> names{};
    std::copy(kEntityNames.begin(), kEntityNames.end(), names.begin());
    const std::array<std::string_view, kCount - kEntity> own = {
        "Location",         "Server",           "Proxy-Connection", "Content-Range",
        "WWW-Authenticate", "Proxy-Authenticate", "Transfer-Encoding"};
    std::copy(own.begin(), own.end(), names.begin() + kEntity);
    return names;
  }();
  const TNetHeaderList& wire = WireHeaders();
  std::array<int32_t, kCount> at{};
  wire.FindNames(kNames, at);
  first_transfer_encoding_ = at[kTransferEncoding];
  first_content_length_ = at[efLength];
  wire.ValueInto(at[kLocation], location_);
  wire.ValueInto(at[kServer], server_);
  wire.ValueInto(at[kProxyConnection], proxy_connection_);

  // 'bytes 0-499/1000': the unit, the first and the last byte, the length. A
  // 416 answer carries 'bytes */1000'; its bounds read as 0 so that the status
  // is what the caller sees.
  std::string range = wire.ValueAt(at[kRange]);
  if (!range.empty()) {
    rtl::Fetch(range, " ");
    SetContentRangeStart(RangeBound(rtl::Fetch(range, "-")));
    SetContentRangeEnd(RangeBound(rtl::Fetch(range, "/")));
  }

  // Every challenge counts, not only the first.
  www_authenticate_->Clear();
  if (at[kWWWAuthenticate] >= 0) wire.CollectValues("WWW-Authenticate", www_authenticate_.get());
  proxy_authenticate_->Clear();
  if (at[kProxyAuthenticate] >= 0) wire.CollectValues("Proxy-Authenticate", proxy_authenticate_.get());

  ParseEntityFields(std::span<const int32_t, kEntity>(at.data(), kEntity));
}

}  // namespace meridian::net
