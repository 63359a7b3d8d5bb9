// One reply of a line-based command/response protocol: a numeric code, the
// code as text and the reply's text lines.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/component.h"
#include "rtl/string_list.h"

namespace meridian::net {

// A reply such as
//   250-first
//   250 last
// holds NumericCode 250, TextCode "250" and the lines "first" and "last".
// The code and its text follow each other through the setters; Clear and
// ParseResponse reset both.
class TNetRFCReply : public rtl::TPersistent {
 public:
  TNetRFCReply() = default;
  std::string ClassName() const override { return "TNetRFCReply"; }

  // Code 0, no lines, empty code text.
  void Clear();

  // Reads a reply's lines: TextCode is taken from the first four characters
  // of the first line (trimmed, without a trailing "-" of a continued
  // reply), and every line from its fifth character on becomes a line of
  // Text. No lines give a cleared reply.
  void ParseResponse(const rtl::TStringList& lines);

  // The reply code; 0 when there is none or its text is not a number.
  int32_t NumericCode() const { return numeric_code_; }
  // A code above 0 also sets TextCode to its decimal text.
  void SetNumericCode(int32_t code);
  // The reply's lines, without their codes.
  const rtl::TStringList& Text() const { return text_; }
  rtl::TStringList& Text() { return text_; }
  // Copies `lines`.
  void SetText(const rtl::TStringList& lines) { text_.Assign(lines); }
  // The code as it came; may be shorter than three characters.
  const std::string& TextCode() const { return text_code_; }
  // A non-empty text also sets NumericCode to its integer value, or to 0
  // when it is not an integer.
  void SetTextCode(const std::string& code);

 protected:
  // Into another reply: code, lines and code text exactly as stored here.
  // Throws EAssignError for any other target.
  void AssignTo(rtl::TPersistent& dest) const override;

 private:
  int32_t numeric_code_ = 0;
  rtl::TStringList text_;
  std::string text_code_;
};

}  // namespace meridian::net
