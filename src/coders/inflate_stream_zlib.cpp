// The content decoding stage over zlib.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "coders/inflate_stream.h"
#include "net/exceptions.h"

namespace meridian::net {

namespace {

// zlib's window bits: 15 for the largest window; +16 reads a gzip wrapper,
// a negative value a raw deflate stream without any wrapper.
constexpr int kGzipWindow = 16 + MAX_WBITS;
constexpr int kZlibWindow = MAX_WBITS;
constexpr int kRawWindow = -MAX_WBITS;

// A zlib header (RFC 1950): method 8 (deflate), a window of at most 32 KiB,
// and a check value that makes the first two bytes a multiple of 31.
bool IsZlibHeader(uint8_t first, uint8_t second) {
  return (first & 0x0f) == 8 && (first >> 4) <= 7 && ((first << 8) | second) % 31 == 0;
}

}  // namespace

struct TNetInflateStream::TState {
  TNetContentCoding coding;
  z_stream zs{};
  bool started = false;  // inflateInit2 done
  bool ended = false;    // the stream (or the last gzip member) is complete
  bool failed = false;
  // The first two bytes of a deflate body, held until they tell a zlib
  // stream from a raw one.
  std::array<uint8_t, 2> head{};
  int head_count = 0;
  std::array<Bytef, kInflateBufferSize> out{};

  ~TState() {
    if (started) inflateEnd(&zs);
  }

  [[noreturn]] void Fail(const std::string& reason) {
    failed = true;
    throw ENetContentDecodingError("Error while decoding the content: " + reason);
  }

  void Start(int window) {
    if (inflateInit2(&zs, window) != Z_OK) Fail(zs.msg != nullptr ? zs.msg : "the decoder could not start");
    started = true;
  }
};

TNetInflateStream::TNetInflateStream(TNetContentCoding coding, rtl::TStream& sink)
    : state_(std::make_unique<TState>()), sink_(sink) {
  state_->coding = coding;
  if (coding == ccGzip) state_->Start(kGzipWindow);
}

TNetInflateStream::~TNetInflateStream() = default;

bool TNetInflateStream::Available() { return true; }

int64_t TNetInflateStream::Write(const void* buffer, int64_t count) {
  TState& s = *state_;
  if (s.failed) throw ENetContentDecodingError();
  if (count <= 0) return 0;
  position_ += count;
  size_ = std::max(size_, position_);
  taken_ += count;

  auto* data = static_cast<const Bytef*>(buffer);
  int64_t left = count;
  if (!s.started) {
    // Deflate: zlib-wrapped as the coding says, or raw as some servers send
    // it; the first two bytes tell which.
    while (left > 0 && s.head_count < 2) {
      s.head[s.head_count++] = *data++;
      --left;
    }
    if (s.head_count < 2) return count;
    s.Start(IsZlibHeader(s.head[0], s.head[1]) ? kZlibWindow : kRawWindow);
    Feed(s.head.data(), 2);
  }
  Feed(data, left);
  return count;
}

void TNetInflateStream::Feed(const uint8_t* data, int64_t count) {
  TState& s = *state_;
  while (count > 0) {
    if (s.ended) {
      // Another gzip member may follow (RFC 1952, 2.2); anything after a
      // deflate stream is not part of it.
      if (s.coding != ccGzip) s.Fail("data after the end of the compressed stream");
      inflateReset(&s.zs);
      s.ended = false;
    }
    const auto piece = static_cast<uInt>(std::min<int64_t>(count, std::numeric_limits<uInt>::max()));
    s.zs.next_in = const_cast<Bytef*>(data);
    s.zs.avail_in = piece;
    // Each round either takes input or gives a buffer of output, so the loop
    // ends with the input; the output goes on while the sink takes it.
    for (;;) {
      s.zs.next_out = s.out.data();
      s.zs.avail_out = static_cast<uInt>(s.out.size());
      const int rc = inflate(&s.zs, Z_NO_FLUSH);
      const auto produced = static_cast<int64_t>(s.out.size() - s.zs.avail_out);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        s.Fail(s.zs.msg != nullptr ? s.zs.msg : "invalid compressed data");
      }
      if (produced > 0) {
        sink_.WriteBuffer(s.out.data(), produced);
        produced_ += produced;
      }
      if (rc == Z_STREAM_END) {
        s.ended = true;
        break;
      }
      if (s.zs.avail_in == 0 && s.zs.avail_out != 0) break;
      if (rc == Z_BUF_ERROR && s.zs.avail_in != 0) s.Fail("the decoder made no progress");
    }
    const int64_t used = piece - s.zs.avail_in;
    data += used;
    count -= used;
  }
}

void TNetInflateStream::Finish() {
  TState& s = *state_;
  if (s.failed) throw ENetContentDecodingError();
  if (taken_ == 0) return;
  if (!s.ended) s.Fail("the compressed content ends early");
}

}  // namespace meridian::net
