// Multi-reader, exclusive-writer lock over one mutex and one condition.
#include "http/read_write_lock.h"

#include <stdexcept>

namespace meridian::net {

TReadWriteLock::Reader* TReadWriteLock::FindReader(std::thread::id thread) {
  for (Reader& reader : readers_) {
    if (reader.thread == thread) return &reader;
  }
  return nullptr;
}

void TReadWriteLock::BeginRead() {
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  if (writer_ == me) {
    ++write_depth_;
    return;
  }
  if (Reader* reader = FindReader(me)) {
    // A nested read must not wait for a queued writer: that writer waits for
    // this very thread to finish reading.
    ++reader->depth;
    return;
  }
  changed_.wait(lock, [this] { return writer_ == std::thread::id() && writers_waiting_ == 0; });
  readers_.push_back({me, 1});
}

void TReadWriteLock::EndRead() {
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  if (writer_ == me) {
    if (--write_depth_ == 0) writer_ = std::thread::id();
  } else {
    Reader* reader = FindReader(me);
    if (reader == nullptr) return;  // unpaired EndRead: nothing to release
    if (--reader->depth > 0) return;
    readers_.erase(readers_.begin() + (reader - readers_.data()));
  }
  lock.unlock();
  changed_.notify_all();
}

void TReadWriteLock::BeginWrite() {
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  if (writer_ == me) {
    ++write_depth_;
    return;
  }
  if (FindReader(me) != nullptr) throw std::logic_error("write lock requested while reading");
  ++writers_waiting_;
  changed_.wait(lock, [this] { return writer_ == std::thread::id() && readers_.empty(); });
  --writers_waiting_;
  writer_ = me;
  write_depth_ = 1;
}

void TReadWriteLock::EndWrite() {
  std::unique_lock lock(mutex_);
  if (writer_ != std::this_thread::get_id()) return;  // unpaired EndWrite
  if (--write_depth_ > 0) return;
  writer_ = std::thread::id();
  lock.unlock();
  changed_.notify_all();
}

bool TReadWriteLock::WrittenByMe() const {
  std::lock_guard lock(mutex_);
  return writer_ == std::this_thread::get_id();
}

int32_t TReadWriteLock::WaitingWriters() const {
  std::lock_guard lock(mutex_);
  return writers_waiting_;
}

}  // namespace meridian::net
