#include "http/entity_header_info.h"

#include <array>
#include <limits>
#include <string>

#include "http/header_values.h"
#include "http/http_date.h"
#include "rtl/exceptions.h"
#include "rtl/text.h"

namespace meridian::net {

namespace {

// Received header blocks are read with a wide fold width: only composed values
// longer than this are folded.
constexpr int32_t kWireFoldWidth = 1024;

}  // namespace

rtl::TDateTime TNetEntityHeaderInfo::TDateField::Value() const {
  if (!text_.empty()) {
    value_ = HeaderDateToLocal(text_);
    text_.clear();
  }
  return value_;
}

TNetEntityHeaderInfo::TNetEntityHeaderInfo()
    : wire_headers_(std::make_unique<TNetHeaderList>()), custom_headers_(std::make_unique<TNetHeaderList>()) {
  wire_headers_->SetFoldWidth(kWireFoldWidth);
  TNetEntityHeaderInfo::Clear();
}

TNetEntityHeaderInfo::~TNetEntityHeaderInfo() = default;

void TNetEntityHeaderInfo::Assign(const rtl::TPersistent& source) {
  const auto* entity = dynamic_cast<const TNetEntityHeaderInfo*>(&source);
  if (entity == nullptr) {
    rtl::TPersistent::Assign(source);
    return;
  }
  wire_headers_->Assign(*entity->wire_headers_);
  content_encoding_ = entity->content_encoding_;
  content_language_ = entity->content_language_;
  content_length_ = entity->content_length_;
  content_range_end_ = entity->content_range_end_;
  content_range_start_ = entity->content_range_start_;
  content_type_ = entity->content_type_;
  content_version_ = entity->content_version_;
  date_ = entity->date_;
  expires_ = entity->expires_;
  last_modified_ = entity->last_modified_;
}

void TNetEntityHeaderInfo::SetContentLength(int32_t length) {
  content_length_ = length;
  length_known_ = length >= 0;
}

void TNetEntityHeaderInfo::SetCustomHeaders(const TNetHeaderList& headers) { custom_headers_->Assign(headers); }

void TNetEntityHeaderInfo::Clear() {
  connection_.clear();
  content_version_.clear();
  content_encoding_.clear();
  content_language_.clear();
  content_type_ = "text/html";
  content_length_ = -1;  // the field alone: LengthKnown keeps what the last parse found
  content_range_start_ = 0;
  content_range_end_ = 0;
  date_.Set(0);
  last_modified_.Set(0);
  expires_.Set(0);
  wire_headers_->Clear();
}

void TNetEntityHeaderInfo::ParseHeaders() {
  std::array<int32_t, kEntityNames.size()> at{};
  wire_headers_->FindNames(kEntityNames, at);
  ParseEntityFields(at);
}

void TNetEntityHeaderInfo::ParseEntityFields(std::span<const int32_t, kEntityNames.size()> at) {
  const TNetHeaderList& wire = *wire_headers_;
  wire.ValueInto(at[efConnection], connection_);
  wire.ValueInto(at[efVersion], content_version_);
  wire.ValueInto(at[efEncoding], content_encoding_);
  wire.ValueInto(at[efLanguage], content_language_);
  wire.ValueInto(at[efType], content_type_);

  const std::optional<int64_t> length =
      ParseDecimal(wire.ValueAt(at[efLength]), -1, std::numeric_limits<int32_t>::max());
  SetContentLength(length ? static_cast<int32_t>(*length) : -1);

  date_.SetFromLine(wire, at[efDate]);
  last_modified_.SetFromLine(wire, at[efLastModified]);
  // A count of seconds counts from now, a date waits to be read.
  expires_.SetFromLine(wire, at[efExpires]);
  if (IsDecimal(expires_.Text())) expires_.Set(ExpiresToLocal(expires_.Text(), rtl::Now()));
  wire.ValueInto(at[efPragma], pragma_);
}

void TNetEntityHeaderInfo::ComposeHeaders() {
  TNetHeaderList& wire = *wire_headers_;
  wire.ClearKeepingStorage();
  // The list starts empty and every name is another: no line is looked for.
  wire.AddValue("Connection", connection_);
  wire.AddValue("Content-Version", content_version_);
  wire.AddValue("Content-Encoding", content_encoding_);
  wire.AddValue("Content-Language", content_language_);
  wire.AddValue("Content-Type", content_type_);
  if (content_length_ >= 0) wire.AddValue("Content-Length", std::to_string(content_length_));
  wire.AddValue("Cache-control", cache_control_);
  if (Date() > 0) wire.AddValue("Date", FormatHttpDate(Date(), false));
  if (Expires() > 0) wire.AddValue("Expires", FormatHttpDate(Expires(), false));
  wire.AddValue("Pragma", pragma_);
  // Custom lines follow unchanged, duplicates of the lines above included.
  wire.AddStrings(*custom_headers_);
}

}  // namespace meridian::net
