#include "transport/rfc_reply.h"

#include "rtl/text.h"

namespace meridian::net {

void TNetRFCReply::Clear() {
  numeric_code_ = 0;
  text_.Clear();
  text_code_.clear();
}

void TNetRFCReply::SetNumericCode(int32_t code) {
  numeric_code_ = code;
  if (code > 0) text_code_ = std::to_string(code);
}

void TNetRFCReply::SetTextCode(const std::string& code) {
  text_code_ = code;
  if (!code.empty()) numeric_code_ = rtl::StrToIntDef(code, 0);
}

void TNetRFCReply::ParseResponse(const rtl::TStringList& lines) {
  Clear();
  if (lines.Count() == 0) return;
  // "250-" opens a continued reply and "250 " ends one; either way the code is
  // the first three characters.
  std::string code = rtl::Trim(std::string_view(lines.Strings(0)).substr(0, 4));
  if (code.size() == 4 && code[3] == '-') code.resize(3);
  SetTextCode(code);
  for (const std::string& line : lines.Lines()) text_.Add(line.size() > 4 ? line.substr(4) : std::string());
}

void TNetRFCReply::AssignTo(rtl::TPersistent& dest) const {
  auto* reply = dynamic_cast<TNetRFCReply*>(&dest);
  if (reply == nullptr) {
    rtl::TPersistent::AssignTo(dest);
    return;
  }
  // Clearing first would empty a reply assigned to itself.
  if (reply == this) return;
  reply->Clear();
  reply->numeric_code_ = numeric_code_;
  reply->text_.Assign(text_);
  reply->text_code_ = text_code_;
}

}  // namespace meridian::net
