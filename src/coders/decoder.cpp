#include "coders/decoder.h"

#include "coders/encoder.h"
#include "net/exceptions.h"

namespace meridian::net {

namespace {

// Built at compile time, so no decoder can see it unset.
constexpr TNetDecodeTable kBase64DecodeTable = TNetDecoder4to3::ConstructDecodeTable(kBase64CodingTable);

}  // namespace

TNetDecoder4to3::TNetDecoder4to3(rtl::TComponent* owner)
    : TNetDecoder(owner), decode_table_(kBase64DecodeTable), fill_char_('=') {}

void TNetDecoder4to3::DecodeToStream(std::string_view text, rtl::TStream& dest) const {
  if (text.size() % 4 != 0) throw ENetCoderUnevenSize("Uneven size in DecodeToStream.");

  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  const auto value = [this](char c) -> uint32_t {
    const auto code = static_cast<uint8_t>(c);
    return code < decode_table_.size() ? decode_table_[code] : 255u;
  };
  for (size_t i = 0; i < text.size(); i += 4) {
    // Values are or-ed, not added: a stray 255 spills into the bits of its
    // neighbours rather than carrying into the next group.
    const uint32_t v = value(text[i]) << 18 | value(text[i + 1]) << 12 | value(text[i + 2]) << 6 | value(text[i + 3]);
    bytes.push_back(static_cast<char>(v >> 16 & 0xFF));
    if (text[i + 2] == fill_char_) continue;
    bytes.push_back(static_cast<char>(v >> 8 & 0xFF));
    if (text[i + 3] == fill_char_) continue;
    bytes.push_back(static_cast<char>(v & 0xFF));
  }
  if (!bytes.empty()) dest.WriteBuffer(bytes);
}

}  // namespace meridian::net
