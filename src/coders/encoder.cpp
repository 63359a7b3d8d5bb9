#include "coders/encoder.h"

#include <algorithm>
#include <stdexcept>

#include "net/exceptions.h"

namespace meridian::net {

namespace {

// A read-only stream over bytes held elsewhere, so that encoding a text needs no
// copy of it.
class TReadOnlyMemoryStream : public rtl::TStream {
 public:
  explicit TReadOnlyMemoryStream(std::string_view bytes) : bytes_(bytes) {}

  int64_t Read(void* buffer, int64_t count) override {
    const int64_t size = static_cast<int64_t>(bytes_.size());
    if (count <= 0 || position_ >= size) return 0;
    const int64_t n = std::min(count, size - position_);
    std::copy_n(bytes_.data() + position_, n, static_cast<char*>(buffer));
    position_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override {
    int64_t base = 0;
    if (origin == rtl::soCurrent) base = position_;
    if (origin == rtl::soEnd) base = static_cast<int64_t>(bytes_.size());
    position_ = std::max<int64_t>(0, base + offset);
    return position_;
  }
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  void SetSize(int64_t) override {}

 private:
  std::string_view bytes_;
  int64_t position_ = 0;
};

}  // namespace

std::string TNetEncoder::EncodeText(std::string_view text) const {
  TReadOnlyMemoryStream source(text);
  return Encode(source, kEncodeAll);
}

TNetEncoder3to4::TNetEncoder3to4(rtl::TComponent* owner, std::string coding_table, char fill_char)
    : TNetEncoder(owner), coding_table_(std::move(coding_table)), fill_char_(fill_char) {
  if (coding_table_.size() != 64) throw std::invalid_argument("a coding table holds 64 characters");
}

std::string TNetEncoder3to4::Encode(rtl::TStream& source, int32_t bytes) const {
  if (bytes != kEncodeAll && bytes % 3 > 0) throw ENetCoderUnevenSize("Uneven size in Encode.");
  // A negative count would size and read garbage: it encodes nothing.
  const int64_t n = std::min<int64_t>(bytes, source.Size() - source.Position());
  if (n <= 0) return {};

  std::string in(static_cast<size_t>(n), '\0');
  source.ReadBuffer(in.data(), n);

  std::string out((in.size() + 2) / 3 * 4, '\0');
  const char* table = coding_table_.data();
  size_t o = 0;
  for (size_t i = 0; i < in.size(); i += 3) {
    const size_t left = in.size() - i;
    const auto b1 = static_cast<uint8_t>(in[i]);
    const auto b2 = left > 1 ? static_cast<uint8_t>(in[i + 1]) : uint8_t{0};
    const auto b3 = left > 2 ? static_cast<uint8_t>(in[i + 2]) : uint8_t{0};
    out[o++] = table[b1 >> 2];
    out[o++] = table[((b1 << 4) | (b2 >> 4)) & 63];
    out[o++] = left > 1 ? table[((b2 << 2) | (b3 >> 6)) & 63] : fill_char_;
    out[o++] = left > 2 ? table[b3 & 63] : fill_char_;
  }
  return out;
}

TNetEncoderMIME::TNetEncoderMIME(rtl::TComponent* owner)
    : TNetEncoder3to4(owner, std::string(kBase64CodingTable), '=') {}

}  // namespace meridian::net
