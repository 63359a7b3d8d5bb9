// A lock that lets many threads read at once and one thread write alone; the
// writing thread may take it again, for reading or writing, while it holds it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace meridian::net {

// Multi-reader, exclusive-writer lock. Waiting writers go before new readers,
// so a steady stream of readers cannot starve a writer; a thread that already
// reads may read again without waiting.
// Every BeginRead is paired with an EndRead and every BeginWrite with an
// EndWrite on the same thread (ReadGuard and WriteGuard do that).
class TReadWriteLock {
 public:
  TReadWriteLock() = default;
  TReadWriteLock(const TReadWriteLock&) = delete;
  TReadWriteLock& operator=(const TReadWriteLock&) = delete;

  // Waits until no other thread writes. Within a write of the same thread it
  // only counts one more level.
  void BeginRead();
  void EndRead();

  // Waits until no other thread reads or writes. Re-entrant for the writer.
  // REQUIRES: the calling thread holds no read lock outside a write of its
  // own; such an upgrade could deadlock against another upgrading reader, so
  // it throws std::logic_error instead.
  void BeginWrite();
  void EndWrite();

  // True when the calling thread holds the write lock.
  bool WrittenByMe() const;
  // Threads waiting in BeginWrite now (for tests and diagnostics).
  int32_t WaitingWriters() const;

  class ReadGuard {
   public:
    explicit ReadGuard(TReadWriteLock& lock) : lock_(lock) { lock_.BeginRead(); }
    ~ReadGuard() { lock_.EndRead(); }
    ReadGuard(const ReadGuard&) = delete;
    ReadGuard& operator=(const ReadGuard&) = delete;

   private:
    TReadWriteLock& lock_;
  };

  class WriteGuard {
   public:
    explicit WriteGuard(TReadWriteLock& lock) : lock_(lock) { lock_.BeginWrite(); }
    ~WriteGuard() { lock_.EndWrite(); }
    WriteGuard(const WriteGuard&) = delete;
    WriteGuard& operator=(const WriteGuard&) = delete;

   private:
    TReadWriteLock& lock_;
  };

 private:
  struct Reader {
    std::thread::id thread;
    int32_t depth;
  };
  Reader* FindReader(std::thread::id thread);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Reader> readers_;  // threads reading now, outside a write
  std::thread::id writer_;       // default id: nobody writes
  int32_t write_depth_ = 0;      // BeginWrite and nested BeginRead of the writer
  int32_t writers_waiting_ = 0;
};

}  // namespace meridian::net
