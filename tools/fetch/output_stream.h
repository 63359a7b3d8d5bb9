// The destination of the bodies: a write-only stream over standard output or
// a file, written straight through so that no body is ever held whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "rtl/streams.h"

namespace meridian::fetch {

// A stream whose position is the count of body bytes written since the last
// ResetBodyBytes; text written with WriteText goes out between them without
// moving it. The network library may announce a size ahead of the bytes
// (SetSize) and cut it back again: the size is only noted, nothing is written
// for it. Owns the file it opened; standard output is only flushed.
class TFetchOutputStream : public rtl::TStream {
 public:
  // Writes to standard output.
  TFetchOutputStream();
  // Creates or truncates `file_name`.
  // Throws EFetchError 23 when it cannot be opened for writing.
  explicit TFetchOutputStream(const std::string& file_name);
  ~TFetchOutputStream() override;

  // Called once before the first body byte after ArmBeforeBody: the place for
  // a response head that must precede the body.
  std::function<void()> BeforeBody;
  void ArmBeforeBody() { armed_ = true; }
  void DisarmBeforeBody() { armed_ = false; }
  // Calls BeforeBody now unless a body byte already did.
  void FireBeforeBody();

  int64_t Read(void* buffer, int64_t count) override;
  // Throws rtl::EWriteError "Failure writing output" when the output refuses
  // the bytes (a full disk, a closed pipe).
  int64_t Write(const void* buffer, int64_t count) override;
  // Throws rtl::EStreamError for any position but the current one: bytes
  // once written cannot be taken back.
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;
  int64_t Size() override { return size_ > body_bytes_ ? size_ : body_bytes_; }
  void SetSize(int64_t size) override { size_ = size; }

  // Bytes that are not part of a body (heads, write-out text); not counted
  // as written body bytes.
  void WriteText(std::string_view text);
  // Body bytes written so far.
  int64_t BodyBytes() const { return body_bytes_; }
  void ResetBodyBytes() { body_bytes_ = 0; size_ = 0; }
  // Writes out the buffered bytes (also done on destruction, silently).
  // Throws rtl::EWriteError when they cannot be written.
  void Flush();

 private:
  void Put(const void* bytes, size_t count);
  void WriteThrough(const void* bytes, size_t count);

  std::FILE* file_;
  bool owns_file_;
  // Allocated on the first small piece; buffered_ bytes of it are pending.
  std::unique_ptr<char[]> buffer_;
  size_t buffered_ = 0;
  bool armed_ = false;
  int64_t size_ = 0;
  int64_t body_bytes_ = 0;
};

}  // namespace meridian::fetch
