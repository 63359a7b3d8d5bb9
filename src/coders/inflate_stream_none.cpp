// The content decoding stage of a build without zlib: it decodes nothing.
#include "coders/inflate_stream.h"
#include "net/exceptions.h"

namespace meridian::net {

struct TNetInflateStream::TState {};

TNetInflateStream::TNetInflateStream(TNetContentCoding, rtl::TStream& sink) : sink_(sink) {
  throw ENetContentDecodingError("Content decoding is not available in this build");
}

TNetInflateStream::~TNetInflateStream() = default;

bool TNetInflateStream::Available() { return false; }

int64_t TNetInflateStream::Write(const void*, int64_t) { throw ENetContentDecodingError(); }

void TNetInflateStream::Feed(const uint8_t*, int64_t) {}

void TNetInflateStream::Finish() {}

}  // namespace meridian::net
