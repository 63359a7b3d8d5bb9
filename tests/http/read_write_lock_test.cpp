#include "http/read_write_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/start_line.h"

namespace meridian::net {
namespace {

TEST(TReadWriteLock, WriterMayLockAgain) {
  TReadWriteLock lock;
  lock.BeginWrite();
  lock.BeginWrite();
  lock.BeginRead();  // a read inside the write counts as one more level
  EXPECT_TRUE(lock.WrittenByMe());
  lock.EndRead();
  lock.EndWrite();
  EXPECT_TRUE(lock.WrittenByMe());
  lock.EndWrite();
  EXPECT_FALSE(lock.WrittenByMe());

  // Released for good: another thread can write now.
  std::thread other([&] {
    TReadWriteLock::WriteGuard guard(lock);
    EXPECT_TRUE(lock.WrittenByMe());
  });
  other.join();
}

TEST(TReadWriteLock, RefusesToUpgradeAReadLock) {
  TReadWriteLock lock;
  TReadWriteLock::ReadGuard outer(lock);
  {
    TReadWriteLock::ReadGuard nested(lock);
  }
  EXPECT_THROW(lock.BeginWrite(), std::logic_error);
  EXPECT_FALSE(lock.WrittenByMe());
}

TEST(TReadWriteLock, NestedReadDoesNotWaitForAQueuedWriter) {
  TReadWriteLock lock;
  lock.BeginRead();
  std::atomic<bool> written{false};
  std::thread writer([&] {
    TReadWriteLock::WriteGuard guard(lock);
    written = true;
  });
  while (lock.WaitingWriters() == 0) std::this_thread::yield();
  // The writer waits for this reader; a nested read that queued behind the
  // writer would wait forever.
  lock.BeginRead();
  EXPECT_FALSE(written.load());
  lock.EndRead();
  EXPECT_FALSE(written.load());
  lock.EndRead();
  writer.join();
  EXPECT_TRUE(written.load());
}

TEST(TReadWriteLock, WritersExcludeEveryoneElse) {
  TReadWriteLock lock;
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  // Written only under the write lock, in two steps, so a reader or writer
  // that gets in between sees them differ.
  int64_t first = 0;
  int64_t second = 0;
  std::atomic<int> torn{0};
  testing::StartLine start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.ArriveAndWait();
      for (int i = 0; i < kRounds; ++i) {
        if ((i + t) % 4 == 0) {
          TReadWriteLock::WriteGuard guard(lock);
          if (first != second) ++torn;
          ++first;
          TReadWriteLock::ReadGuard nested(lock);
          ++second;
        } else {
          TReadWriteLock::ReadGuard guard(lock);
          if (first != second) ++torn;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, torn.load());
  EXPECT_EQ(first, second);
  EXPECT_EQ(kThreads * kRounds / 4, first);
}

}  // namespace
}  // namespace meridian::net
