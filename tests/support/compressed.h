// Compressed bodies for the content decoding tests, made with zlib's own
// compressor: gzip, zlib-wrapped deflate and raw deflate.
#pragma once

#include <zlib.h>

#include <stdexcept>
#include <string>

namespace meridian::net::testing {

enum CompressedForm { kGzip, kZlib, kRawDeflate };

// `plain` compressed whole in the given form.
inline std::string Compress(const std::string& plain, CompressedForm form, int level = Z_DEFAULT_COMPRESSION) {
  const int window = form == kGzip ? 16 + MAX_WBITS : form == kZlib ? MAX_WBITS : -MAX_WBITS;
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, window, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&zs, static_cast<uLong>(plain.size())) + 64, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
  zs.avail_in = static_cast<uInt>(plain.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

}  // namespace meridian::net::testing
