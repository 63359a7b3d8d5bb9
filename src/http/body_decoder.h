// The decoding stages that a response's "Content-Encoding" calls for, set
// between the connection and the caller's body stream.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "coders/inflate_stream.h"
#include "headers/header_list.h"
#include "rtl/streams.h"

namespace meridian::net {

// The "Accept-Encoding" value of a client that decodes content.
inline constexpr const char* kDecodedCodings = "deflate, gzip";

// The most codings one body may stack ("gzip, deflate, gzip"...); more are
// refused rather than decoded.
inline constexpr int32_t kMaxContentCodings = 5;

// The stages for the codings of every "Content-Encoding" line of `headers`,
// in the order they were applied; "identity" adds none. Write the body as it
// arrives to Input(), then call Finish.
//
// Ownership: the sink is not owned and outlives the decoder. Not
// thread-safe.
class TNetBodyDecoder {
 public:
  // Throws ENetContentDecodingError for a coding other than gzip, x-gzip,
  // deflate and identity, for more than kMaxContentCodings codings, and in a
  // build without content decoding for any coding at all.
  TNetBodyDecoder(const TNetHeaderList& headers, rtl::TStream& sink);
  ~TNetBodyDecoder();
  TNetBodyDecoder(const TNetBodyDecoder&) = delete;
  TNetBodyDecoder& operator=(const TNetBodyDecoder&) = delete;

  // Where the body goes: the last coding's stage, or the sink itself when the
  // body has no coding.
  rtl::TStream& Input() { return stages_.empty() ? sink_ : *stages_.back(); }

  // Checks that every compressed stream ended. Throws as
  // TNetInflateStream::Finish.
  void Finish();

 private:
  rtl::TStream& sink_;
  // The first applied coding first: each stage writes to the one before it,
  // the first to the sink.
  std::vector<std::unique_ptr<TNetInflateStream>> stages_;
};

}  // namespace meridian::net
