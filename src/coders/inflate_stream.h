// A stream stage that undoes the gzip and deflate content codings of HTTP
// (RFC 9110, section 8.4.1) as the compressed bytes are written to it, and
// passes the plain bytes on to another stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "rtl/streams.h"

namespace meridian::net {

// The content codings the stage undoes.
enum TNetContentCoding : uint8_t {
  ccGzip,     // "gzip" or "x-gzip": one or more gzip members
  ccDeflate,  // "deflate": a zlib stream, or a raw deflate stream as some servers send
};

// The plain bytes one step of the decoder produces at most: every write to
// the sink is no larger, however far the data expands, so memory stays fixed
// and only the sink bounds the output.
inline constexpr int64_t kInflateBufferSize = 16 * 1024;

// The coding named by a "Content-Encoding" token (letter case ignored):
// false for a name the stage does not know. "identity" is no coding at all
// and is not known here either.
bool ContentCodingFromName(std::string_view name, TNetContentCoding& coding);

// Write the compressed bytes in pieces of any size; each write decodes what
// it can at once and writes the result to the sink. Position and Size count
// the compressed bytes taken; reading yields nothing. Finish after the last
// piece tells a complete body from a cut one.
//
// Ownership: the sink is not owned and must outlive the stage. Not
// thread-safe. Only built when the library has zlib (see Available); without
// it the constructor throws ENetContentDecodingError.
class TNetInflateStream : public rtl::TStream {
 public:
  TNetInflateStream(TNetContentCoding coding, rtl::TStream& sink);
  ~TNetInflateStream() override;

  // Whether this build can decode at all.
  static bool Available();

  int64_t Read(void*, int64_t) override { return 0; }
  // Decodes `count` bytes. Throws ENetContentDecodingError for data that is no
  // valid stream of the coding (bytes after its end included, except a
  // further gzip member); the sink's own errors pass unchanged. After a
  // throw the stage takes nothing more.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  // Sizes are only noted: the sink grows as the plain bytes come.
  void SetSize(int64_t size) override { size_ = size; }

  // Ends the body. Throws ENetContentDecodingError when compressed bytes were
  // taken but their stream has not ended (a cut body). A body of no bytes at
  // all is complete.
  void Finish();

  // Plain bytes written to the sink so far.
  int64_t Produced() const { return produced_; }

 private:
  struct TState;  // the decoder's own state, kept out of this header

  // Decodes `count` bytes into the sink, one buffer at a time.
  void Feed(const uint8_t* data, int64_t count);

  std::unique_ptr<TState> state_;
  rtl::TStream& sink_;
  int64_t position_ = 0;
  int64_t size_ = 0;
  int64_t taken_ = 0;
  int64_t produced_ = 0;
};

}  // namespace meridian::net
