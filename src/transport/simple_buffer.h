// A growable in-memory byte stream from which bytes are taken off the front:
// the scratch, write and input buffers of a TCP connection.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rtl/streams.h"

namespace meridian::net {

class TNetSimpleBuffer;

// Told how many bytes were just removed from the front of a buffer.
using TNetBufferRemovedEvent = std::function<void(TNetSimpleBuffer& buffer, int64_t count)>;

// Contiguous bytes with a stream position. Growing keeps the memory it has
// (capacity is not returned on every shrink), so a buffer reused for one
// receive after another does not allocate each time.
// Not thread-safe.
class TNetSimpleBuffer : public rtl::TStream {
 public:
  // `on_removed` (may be empty) is called after every Remove and Extract.
  explicit TNetSimpleBuffer(TNetBufferRemovedEvent on_removed = nullptr);
  ~TNetSimpleBuffer() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override;
  int64_t Size() override { return end_ - begin_; }
  // Bytes added by growing are zero.
  void SetSize(int64_t size) override;

  // The bytes, contiguous; valid until the next call that changes the size.
  char* Memory() { return data_.get() + begin_; }
  int64_t Length() const { return end_ - begin_; }

  // Takes `count` bytes off the front and returns them (then as Remove).
  // Throws ENetNotEnoughDataInBuffer when fewer than `count` bytes are held.
  virtual std::string Extract(int64_t count);
  // Drops `count` bytes from the front, then calls the removed-bytes event.
  // Throws ENetNotEnoughDataInBuffer when fewer than `count` bytes are held.
  // A count of 0 or less does nothing.
  virtual void Remove(int64_t count);
  // Empties the buffer; the removed-bytes event is not called.
  virtual void Clear();

  // Writes `count` bytes at the end; the position ends after them.
  void Append(const void* bytes, int64_t count);
  // Room for `count` more bytes after the end, not yet part of the content:
  // write into it, then CommitTail with the number written.
  char* ReserveTail(int64_t count);
  void CommitTail(int64_t count) { end_ += count; }
  // Bytes that fit after the end without growing the memory.
  int64_t TailRoom() const { return capacity_ - end_; }

 protected:
  // Moves the content to the start of the memory.
  void Pack();
  void NotifyRemoved(int64_t count) {
    if (on_removed_) on_removed_(*this, count);
  }
  void ThrowIfShort(int64_t count) const;

  // Content is [begin_, end_) of data_; the position counts from begin_.
  int64_t begin_ = 0;
  int64_t end_ = 0;
  int64_t position_ = 0;

 private:
  // Room for `needed` bytes of content from the front of the content.
  void EnsureCapacity(int64_t needed);
  void ReleaseSpareMemory();

  std::unique_ptr<char[]> data_;
  int64_t capacity_ = 0;
  TNetBufferRemovedEvent on_removed_;
};

}  // namespace meridian::net
