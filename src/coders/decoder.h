// Decoders that turn text back into bytes: the abstract TNetDecoder and the
// four-characters-to-three-bytes TNetDecoder4to3, which decodes base64.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/base_component.h"
#include "rtl/streams.h"

namespace meridian::net {

// Base of the decoders. A component: created with an optional owner, which then
// destroys it.
class TNetDecoder : public TNetBaseComponent {
 public:
  explicit TNetDecoder(rtl::TComponent* owner = nullptr) : TNetBaseComponent(owner) {}
  std::string ClassName() const override { return "TNetDecoder"; }

  // Decodes `text` and writes the bytes to `dest` at its position.
  virtual void DecodeToStream(std::string_view text, rtl::TStream& dest) const = 0;
};

// Maps character codes to the values 0 to 63 of a coding table; 255 marks a
// character outside the table. Entry 0 and codes above 127 are never set.
using TNetDecodeTable = std::array<uint8_t, 128>;

// Decodes groups of four characters into three bytes through a decode table.
//
// The decoder is lenient, not strict: it never rejects a character. A fill
// character or any character outside the table counts as the value 255, whose
// bits spill into its neighbours: the bytes that padding keeps are unaffected,
// but a stray character corrupts the bytes of its group. Blanks and line breaks
// are not skipped; they count toward the length and decode as stray characters.
class TNetDecoder4to3 : public TNetDecoder {
 public:
  // A base64 decoder: the table of the base64 alphabet and "=" as FillChar.
  explicit TNetDecoder4to3(rtl::TComponent* owner = nullptr);
  std::string ClassName() const override { return "TNetDecoder4to3"; }

  // Throws ENetCoderUnevenSize "Uneven size in DecodeToStream." when the length of
  // `text` is not a multiple of 4; nothing is written then. The bytes are
  // written in one write, and only when there are some.
  void DecodeToStream(std::string_view text, rtl::TStream& dest) const override;

  // Builds the decode table of `coding_table`: every entry 255, then the entry
  // of the character at 0-based index i set to i. Characters with code 0 or
  // above 127 have no entry and are passed over.
  static constexpr TNetDecodeTable ConstructDecodeTable(std::string_view coding_table) {
    TNetDecodeTable table{};
    for (uint8_t& entry : table) entry = 255;
    for (size_t i = 0; i < coding_table.size() && i < 255; ++i) {
      const auto code = static_cast<uint8_t>(coding_table[i]);
      if (code >= 1 && code <= 127) table[code] = static_cast<uint8_t>(i);
    }
    return table;
  }

  const TNetDecodeTable& DecodeTable() const { return decode_table_; }
  // Replaces the table by the one built from `coding_table`.
  void SetCodingTable(std::string_view coding_table) { decode_table_ = ConstructDecodeTable(coding_table); }

  // Ends a group early: a third character equal to it leaves one byte, a fourth
  // leaves two. Default: "=".
  char FillChar() const { return fill_char_; }
  void SetFillChar(char fill_char) { fill_char_ = fill_char; }

 private:
  TNetDecodeTable decode_table_;
  char fill_char_;
};

}  // namespace meridian::net
