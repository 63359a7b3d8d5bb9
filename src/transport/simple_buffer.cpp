#include "transport/simple_buffer.h"

#include <algorithm>
#include <cstring>

#include "net/exceptions.h"

namespace meridian::net {

namespace {

// Memory kept for reuse when a buffer empties; more than this is given back
// once the content no longer needs it.
constexpr int64_t kKeptCapacity = 1024 * 1024;
constexpr int64_t kMinCapacity = 4096;

}  // namespace

TNetSimpleBuffer::TNetSimpleBuffer(TNetBufferRemovedEvent on_removed) : on_removed_(std::move(on_removed)) {}

TNetSimpleBuffer::~TNetSimpleBuffer() = default;

int64_t TNetSimpleBuffer::Read(void* buffer, int64_t count) {
  const int64_t n = std::min(count, Size() - position_);
  if (n <= 0) return 0;
  std::memcpy(buffer, Memory() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TNetSimpleBuffer::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  EnsureCapacity(position_ + count);
  const int64_t at = begin_ + position_;
  std::memcpy(data_.get() + at, buffer, static_cast<size_t>(count));
  position_ += count;
  end_ = std::max(end_, at + count);
  return count;
}

int64_t TNetSimpleBuffer::Seek(int64_t offset, rtl::TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == rtl::soCurrent) base = position_;
  if (origin == rtl::soEnd) base = Size();
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

void TNetSimpleBuffer::SetSize(int64_t size) {
  size = std::max<int64_t>(0, size);
  EnsureCapacity(size);
  const int64_t new_end = begin_ + size;
  if (new_end > end_) {
    std::memset(data_.get() + end_, 0, static_cast<size_t>(new_end - end_));
  }
  end_ = new_end;
  position_ = std::min(position_, size);
}

std::string TNetSimpleBuffer::Extract(int64_t count) {
  ThrowIfShort(count);
  std::string bytes(Memory(), static_cast<size_t>(std::max<int64_t>(0, count)));
  Remove(count);
  return bytes;
}

void TNetSimpleBuffer::Remove(int64_t count) {
  ThrowIfShort(count);
  if (count <= 0) return;
  if (count == Size()) {
    begin_ = end_ = position_ = 0;
    ReleaseSpareMemory();
  } else {
    begin_ += count;
    position_ = std::max<int64_t>(0, position_ - count);
    Pack();
  }
  NotifyRemoved(count);
}

void TNetSimpleBuffer::Clear() {
  begin_ = end_ = position_ = 0;
  ReleaseSpareMemory();
}

void TNetSimpleBuffer::Append(const void* bytes, int64_t count) {
  position_ = Size();
  Write(bytes, count);
}

char* TNetSimpleBuffer::ReserveTail(int64_t count) {
  EnsureCapacity(Size() + count);
  return data_.get() + end_;
}

void TNetSimpleBuffer::Pack() {
  if (begin_ == 0) return;
  std::memmove(data_.get(), data_.get() + begin_, static_cast<size_t>(end_ - begin_));
  end_ -= begin_;
  begin_ = 0;
  ReleaseSpareMemory();
}

void TNetSimpleBuffer::ThrowIfShort(int64_t count) const {
  if (count > end_ - begin_) throw ENetNotEnoughDataInBuffer();
}

void TNetSimpleBuffer::EnsureCapacity(int64_t needed) {
  if (begin_ + needed <= capacity_) return;
  // Growing copies anyway, so consumed bytes in front are dropped on the way.
  const int64_t capacity = std::max({needed, capacity_ * 2, kMinCapacity});
  auto grown = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(capacity));
  if (end_ > begin_) std::memcpy(grown.get(), data_.get() + begin_, static_cast<size_t>(end_ - begin_));
  data_ = std::move(grown);
  capacity_ = capacity;
  end_ -= begin_;
  begin_ = 0;
}

void TNetSimpleBuffer::ReleaseSpareMemory() {
  // Only a buffer packed to the front is shrunk, and only when most of a large
  // block is unused.
  if (begin_ != 0 || capacity_ <= kKeptCapacity || end_ * 4 > capacity_) return;
  const int64_t capacity = std::max(end_, kMinCapacity);
  auto shrunk = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(capacity));
  if (end_ > 0) std::memcpy(shrunk.get(), data_.get(), static_cast<size_t>(end_));
  data_ = std::move(shrunk);
  capacity_ = capacity;
}

}  // namespace meridian::net
