// The entity header record: the header fields common to requests and
// responses, read from and written to a wire header list.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "headers/header_list.h"
#include "rtl/component.h"
#include "rtl/date_time.h"

namespace meridian::net {

// Typed header fields over a wire header list. ParseHeaders fills the fields
// from WireHeaders after a head has been read; ComposeHeaders rebuilds
// WireHeaders from the fields before a head is written. Dates are local time,
// 0 meaning no date.
//
// Owns its two header lists. Not thread-safe.
class TNetEntityHeaderInfo : public rtl::TPersistent {
 public:
  TNetEntityHeaderInfo();
  ~TNetEntityHeaderInfo() override;
  std::string ClassName() const override { return "TNetEntityHeaderInfo"; }

  // Copies the wire lines, ContentEncoding, ContentLanguage, ContentLength
  // (not LengthKnown), ContentRangeEnd, ContentRangeStart, ContentType,
  // ContentVersion, Date, Expires and LastModified from another entity record.
  // Throws EAssignError for any other source.
  void Assign(const rtl::TPersistent& source) override;

  // Fills the fields from WireHeaders. A field whose header is absent becomes
  // empty (or -1, or 0). Never throws on what a peer sent: an unreadable date
  // gives 0; a numeric "Expires" counts seconds from now. The dates are
  // converted to local time when first read (most transfers never look at
  // them, and the conversion needs the local zone): Date, Expires and
  // LastModified throw ENetFailedToRetreiveTimeZoneInfo when the local zone
  // cannot be told.
  virtual void ParseHeaders();
  // Rebuilds WireHeaders from the fields, then appends CustomHeaders.
  virtual void ComposeHeaders();
  // Resets the fields (ContentLength -1, ContentType "text/html", the rest
  // empty or 0) and empties WireHeaders; CacheControl, CustomHeaders, Pragma
  // and LengthKnown stay.
  virtual void Clear();

  const std::string& CacheControl() const { return cache_control_; }
  void SetCacheControl(std::string value) { cache_control_ = std::move(value); }
  const std::string& Connection() const { return connection_; }
  void SetConnection(std::string value) { connection_ = std::move(value); }
  const std::string& ContentEncoding() const { return content_encoding_; }
  void SetContentEncoding(std::string value) { content_encoding_ = std::move(value); }
  const std::string& ContentLanguage() const { return content_language_; }
  void SetContentLanguage(std::string value) { content_language_ = std::move(value); }
  // -1 when unknown. Setting it also sets LengthKnown to (length >= 0).
  int32_t ContentLength() const { return content_length_; }
  void SetContentLength(int32_t length);
  // The byte range of "Range" (requests) or "Content-Range" (responses).
  uint32_t ContentRangeEnd() const { return content_range_end_; }
  void SetContentRangeEnd(uint32_t value) { content_range_end_ = value; }
  uint32_t ContentRangeStart() const { return content_range_start_; }
  void SetContentRangeStart(uint32_t value) { content_range_start_ = value; }
  // Default: "text/html".
  const std::string& ContentType() const { return content_type_; }
  void SetContentType(std::string value) { content_type_ = std::move(value); }
  const std::string& ContentVersion() const { return content_version_; }
  void SetContentVersion(std::string value) { content_version_ = std::move(value); }
  // Extra lines appended, as they are, when composing.
  const TNetHeaderList& CustomHeaders() const { return *custom_headers_; }
  TNetHeaderList& CustomHeaders() { return *custom_headers_; }
  // Copies the lines of `headers`.
  void SetCustomHeaders(const TNetHeaderList& headers);
  rtl::TDateTime Date() const { return date_.Value(); }
  void SetDate(rtl::TDateTime value) { date_.Set(value); }
  rtl::TDateTime Expires() const { return expires_.Value(); }
  void SetExpires(rtl::TDateTime value) { expires_.Set(value); }
  // "Last-Modified" of a response, "If-Modified-Since" of a request.
  rtl::TDateTime LastModified() const { return last_modified_.Value(); }
  void SetLastModified(rtl::TDateTime value) { last_modified_.Set(value); }
  const std::string& Pragma() const { return pragma_; }
  void SetPragma(std::string value) { pragma_ = std::move(value); }
  // True when the last parsed block held a valid content length.
  bool LengthKnown() const { return length_known_; }
  void SetLengthKnown(bool value) { length_known_ = value; }

  // The header lines as sent or received. Fold width 1024.
  TNetHeaderList& WireHeaders() { return *wire_headers_; }
  const TNetHeaderList& WireHeaders() const { return *wire_headers_; }

 protected:
  // The fields ParseHeaders reads, in the order ParseEntityFields takes their
  // line indexes, and their names.
  enum TEntityField : size_t {
    efConnection,
    efVersion,
    efEncoding,
    efLanguage,
    efType,
    efLength,
    efDate,
    efLastModified,
    efExpires,
    efPragma,
    efCount
  };
  static constexpr std::array<std::string_view, efCount> kEntityNames = {
      "Connection",     "Content-Version", "Content-Encoding", "Content-Language", "Content-Type",
      "Content-Length", "Date",            "Last-Modified",    "Expires",          "Pragma"};
  // Fills the fields from the lines at `at` (as FindNames gives them for
  // kEntityNames), so that a subclass reads its own names in the same pass.
  void ParseEntityFields(std::span<const int32_t, kEntityNames.size()> at);

 private:
  // A date field, kept as its header's text until first read.
  class TDateField {
   public:
    rtl::TDateTime Value() const;
    void Set(rtl::TDateTime value) {
      value_ = value;
      text_.clear();
    }
    // The value of the line at `index` of `wire`, an HTTP date to be
    // converted when read; none for an index of -1.
    void SetFromLine(const TNetHeaderList& wire, int32_t index) {
      value_ = 0;
      wire.ValueInto(index, text_);
    }
    const std::string& Text() const { return text_; }

   private:
    mutable rtl::TDateTime value_ = 0;
    mutable std::string text_;
  };

  std::string cache_control_;
  std::unique_ptr<TNetHeaderList> wire_headers_;
  std::string connection_;
  std::string content_encoding_;
  std::string content_language_;
  int32_t content_length_ = -1;
  uint32_t content_range_end_ = 0;
  uint32_t content_range_start_ = 0;
  std::string content_type_;
  std::string content_version_;
  std::unique_ptr<TNetHeaderList> custom_headers_;
  TDateField date_;
  TDateField expires_;
  TDateField last_modified_;
  std::string pragma_;
  bool length_known_ = false;
};

}  // namespace meridian::net
