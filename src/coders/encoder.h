// Encoders that turn bytes into text: the abstract TNetEncoder, the
// three-bytes-to-four-characters family TNetEncoder3to4, and base64 with the
// MIME alphabet (TNetEncoderMIME).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "net/base_component.h"
#include "rtl/streams.h"

namespace meridian::net {

// A byte count that means "the whole rest of the stream".
inline constexpr int32_t kEncodeAll = std::numeric_limits<int32_t>::max();

// Base of the encoders. A component: created with an optional owner, which then
// destroys it. Encoding keeps no state, so one encoder may serve many calls.
class TNetEncoder : public TNetBaseComponent {
 public:
  explicit TNetEncoder(rtl::TComponent* owner = nullptr) : TNetBaseComponent(owner) {}
  std::string ClassName() const override { return "TNetEncoder"; }

  // Encodes up to `bytes` bytes read from the current position of `source`;
  // kEncodeAll means the whole rest of it. A count of 0 or less encodes nothing.
  virtual std::string Encode(rtl::TStream& source, int32_t bytes = kEncodeAll) const = 0;

  // Encodes every byte of `text`.
  std::string EncodeText(std::string_view text) const;

  // The class form: encodes `text` with a transient `Coder` (no owner).
  //   TNetEncoder::EncodeText<TNetEncoderMIME>("user:pass")
  template <typename Coder>
  static std::string EncodeText(std::string_view text) {
    const Coder coder;
    return coder.EncodeText(text);
  }
};

// Encodes each group of three bytes as four characters of a 64-character coding
// table; a short last group is padded with FillChar. No line break is ever
// inserted.
class TNetEncoder3to4 : public TNetEncoder {
 public:
  std::string ClassName() const override { return "TNetEncoder3to4"; }

  // Throws ENetCoderUnevenSize "Uneven size in Encode." when `bytes` is neither
  // kEncodeAll nor a multiple of 3; nothing is read then. Throws EReadError
  // when the stream delivers fewer bytes than its size promised.
  std::string Encode(rtl::TStream& source, int32_t bytes = kEncodeAll) const override;

  // The 64 characters that stand for the values 0 to 63.
  const std::string& CodingTable() const { return coding_table_; }
  // Pads a short last group.
  char FillChar() const { return fill_char_; }
  void SetFillChar(char fill_char) { fill_char_ = fill_char; }

 protected:
  // REQUIRES: `coding_table` holds exactly 64 characters (std::invalid_argument
  // otherwise).
  TNetEncoder3to4(rtl::TComponent* owner, std::string coding_table, char fill_char);

 private:
  std::string coding_table_;
  char fill_char_;
};

// Base64 of RFC 4648 section 4: the alphabet A-Z a-z 0-9 + / and "=" padding.
class TNetEncoderMIME : public TNetEncoder3to4 {
 public:
  explicit TNetEncoderMIME(rtl::TComponent* owner = nullptr);
  std::string ClassName() const override { return "TNetEncoderMIME"; }
};

// The base64 alphabet.
inline constexpr std::string_view kBase64CodingTable =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace meridian::net
