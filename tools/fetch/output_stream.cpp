// Write-through output stream of meridian-fetch.
#include "output_stream.h"

#include <cstring>

#include "fetch_errors.h"
#include "rtl/exceptions.h"

namespace meridian::fetch {

namespace {
// Small pieces (heads, short bodies) collect up to this size; a piece of at
// least kDirectWriteSize goes out in one write of its own, straight from the
// receive buffer, so body bytes of a large transfer are never copied here.
// Small enough to come from the heap rather than a mapping of its own.
constexpr size_t kOutputBufferSize = 64 * 1024;
constexpr size_t kDirectWriteSize = 16 * 1024;
}  // namespace

// The stream keeps its own buffer and leaves the file unbuffered, so that
// every write call carries as much as one receive brought.
TFetchOutputStream::TFetchOutputStream() : file_(stdout), owns_file_(false) {
  std::fflush(file_);
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

TFetchOutputStream::TFetchOutputStream(const std::string& file_name)
    : file_(std::fopen(file_name.c_str(), "wb")), owns_file_(true) {
  if (file_ == nullptr) throw EFetchError(fxWriteError, "Failed to open the file " + file_name + " for writing");
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

TFetchOutputStream::~TFetchOutputStream() {
  try {
    Flush();
  } catch (const std::exception&) {
    // Reported by the session's own Flush; nothing more can be done here.
  }
  if (owns_file_) std::fclose(file_);
}

void TFetchOutputStream::FireBeforeBody() {
  if (!armed_) return;
  armed_ = false;
  if (BeforeBody) BeforeBody();
}

int64_t TFetchOutputStream::Read(void* /*buffer*/, int64_t /*count*/) { return 0; }

int64_t TFetchOutputStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  FireBeforeBody();
  Put(buffer, static_cast<size_t>(count));
  body_bytes_ += count;
  return count;
}

int64_t TFetchOutputStream::Seek(int64_t offset, rtl::TSeekOrigin origin) {
  int64_t target = offset;
  if (origin == rtl::soCurrent) target = body_bytes_ + offset;
  if (origin == rtl::soEnd) target = Size() + offset;
  if (target != body_bytes_) throw rtl::EStreamError("The output cannot be repositioned");
  return body_bytes_;
}

void TFetchOutputStream::WriteText(std::string_view text) { Put(text.data(), text.size()); }

void TFetchOutputStream::Put(const void* bytes, size_t count) {
  // A large piece goes out on its own, but only after the bytes before it.
  const bool large = count >= kDirectWriteSize;
  if (large || buffered_ + count > kOutputBufferSize) Flush();
  if (large) {
    WriteThrough(bytes, count);
    return;
  }
  if (buffer_ == nullptr) buffer_ = std::make_unique_for_overwrite<char[]>(kOutputBufferSize);
  std::memcpy(buffer_.get() + buffered_, bytes, count);
  buffered_ += count;
}

void TFetchOutputStream::Flush() {
  if (buffered_ == 0) return;
  // Emptied first: a failed write is reported once, not on every later call.
  const size_t pending = buffered_;
  buffered_ = 0;
  WriteThrough(buffer_.get(), pending);
}

void TFetchOutputStream::WriteThrough(const void* bytes, size_t count) {
  if (std::fwrite(bytes, 1, count, file_) != count) throw rtl::EWriteError("Failure writing output");
}

}  // namespace meridian::fetch
