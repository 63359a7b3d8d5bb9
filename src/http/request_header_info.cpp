#include "http/request_header_info.h"

#include "auth/basic_authentication.h"
#include "http/header_values.h"
#include "http/http_date.h"
#include "rtl/text.h"

namespace meridian::net {

TNetRequestHeaderInfo::TNetRequestHeaderInfo() {
  // A request goes out with every header on one line: many servers refuse
  // obsolete folded continuation lines.
  WireHeaders().SetFoldOnSet(false);
  TNetRequestHeaderInfo::Clear();
}

TNetRequestHeaderInfo::~TNetRequestHeaderInfo() = default;

void TNetRequestHeaderInfo::Assign(const rtl::TPersistent& source) {
  const auto* request = dynamic_cast<const TNetRequestHeaderInfo*>(&source);
  if (request == nullptr) {
    TNetEntityHeaderInfo::Assign(source);
    return;
  }
  accept_ = request->accept_;
  accept_char_set_ = request->accept_char_set_;
  accept_encoding_ = request->accept_encoding_;
  accept_language_ = request->accept_language_;
  from_ = request->from_;
  password_ = request->password_;
  referer_ = request->referer_;
  user_agent_ = request->user_agent_;
  username_ = request->username_;
  basic_authentication_ = request->basic_authentication_;
}

void TNetRequestHeaderInfo::SetAuthenticator(std::unique_ptr<TNetAuthentication> authenticator) {
  authenticator_ = std::move(authenticator);
}

void TNetRequestHeaderInfo::Clear() {
  accept_ = "text/html, */*";
  accept_char_set_.clear();
  user_agent_ = "Mozilla/3.0 (compatible; Meridian Library)";
  basic_authentication_ = false;
  TNetEntityHeaderInfo::Clear();
}

void TNetRequestHeaderInfo::ParseHeaders() {
  const TNetHeaderList& wire = WireHeaders();
  accept_ = wire.GetValue("Accept");
  accept_char_set_ = wire.GetValue("Accept-Charset");
  accept_encoding_ = wire.GetValue("Accept-Encoding");
  accept_language_ = wire.GetValue("Accept-Language");
  host_ = wire.GetValue("Host");
  from_ = wire.GetValue("From");
  referer_ = wire.GetValue("Referer");
  user_agent_ = wire.GetValue("User-Agent");

  // 'bytes=100-200': the unit, then the first and the last byte.
  std::string range = wire.GetValue("Range");
  if (!range.empty()) {
    rtl::Fetch(range, "=");
    SetContentRangeStart(RangeBound(rtl::Fetch(range, "-")));
    SetContentRangeEnd(RangeBound(rtl::Fetch(range, " ")));
  }
  TNetEntityHeaderInfo::ParseHeaders();
}

void TNetRequestHeaderInfo::ComposeHeaders() {
  TNetEntityHeaderInfo::ComposeHeaders();
  TNetHeaderList& wire = WireHeaders();
  // Custom lines may already hold one of these names, whose line is then
  // replaced; without them every line here is new and goes to the end.
  const bool only_fields = CustomHeaders().Count() == 0;
  const auto put = [&](std::string_view name, std::string_view value) {
    if (only_fields) {
      wire.AddValue(name, value);
    } else {
      SetHeader(wire, name, value);
    }
  };
  put("Proxy-Connection", proxy_connection_);
  put("Host", host_);
  put("Accept", accept_);
  put("Accept-Charset", accept_char_set_);
  put("Accept-Encoding", accept_encoding_);
  put("Accept-Language", accept_language_);
  put("From", from_);
  put("Referer", referer_);
  put("User-Agent", user_agent_);
  if (LastModified() > 0) put("If-Modified-Since", FormatHttpDate(LastModified(), false));

  if (ContentRangeStart() != 0 || ContentRangeEnd() != 0) {
    std::string range = "bytes=" + std::to_string(ContentRangeStart()) + "-";
    if (ContentRangeEnd() != 0) range += std::to_string(ContentRangeEnd());
    put("Range", range);
  }

  if (!authenticator_ && basic_authentication_) {
    authenticator_ = std::make_unique<TNetBasicAuthentication>();
    authenticator_->SetUsername(username_);
    authenticator_->SetPassword(password_);
  }
  if (authenticator_) put("Authorization", authenticator_->AuthorizationValue());
}

}  // namespace meridian::net
