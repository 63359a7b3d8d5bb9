// Test helpers for the connection tests: a one-connection loopback server on a
// test thread, a latch to step a peer script, and counts of the process's open
// descriptors and threads to catch leaks.
#pragma once

#include <gtest/gtest.h>

#include "support/test_socket.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "transport/net_component.h"
#include "transport/socket_handle.h"

namespace meridian::net::testing {

// A one-shot signal between the test and the peer script. Wait gives up after
// a generous bound so a failing test cannot hang the suite.
class Latch {
 public:
  void Signal() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
  }
  bool Wait(std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, bound, [this] { return signalled_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

// The accepted end of a loopback connection, used by the peer script.
class Peer {
 public:
  explicit Peer(TNetSocketHandle& socket) : socket_(socket) {}
  void Send(const std::string& bytes);
  // Everything until the client closes.
  std::string ReceiveAll();
  // Exactly `count` bytes, or fewer when the client closes first.
  std::string Receive(size_t count);
  // A graceful close (FIN).
  void Close() { socket_.CloseSocket(); }
  // An abortive close (RST).
  void Reset();
  // Waits until the client has sent something (or closed).
  bool WaitForData() { return socket_.Readable(10000); }

 private:
  TNetSocketHandle& socket_;
};

// Listens on 127.0.0.1 (or `ip`, of either family) at a port the platform
// picks, or at `port`, and runs `script` with the first connection (if one
// comes within 10 s) on a thread of its own; the destructor waits for it.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::function<void(Peer&)> script, int32_t backlog = 5,
                          const std::string& ip = "127.0.0.1", int32_t port = 0);
  ~LoopbackServer();
  int32_t Port() const { return listener_.Port(); }
  TNetSocketHandle& Listener() { return listener_; }

 private:
  std::unique_ptr<TNetComponent> stack_keeper_;
  TNetSocketHandle listener_;
  std::thread thread_;
};

// The process's open descriptors and threads (0 where the platform offers
// no exact count: see test_socket.h).
inline size_t OpenDescriptors() { return OpenDescriptorCount(); }
inline size_t Threads() { return ThreadCount(); }

// A fixture whose tests must leave as many descriptors and threads open as
// they found.
class LeakCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A sanitizer runtime may start a helper thread of its own with the
    // process's first thread; start and end one first so that it is counted.
    std::thread([] {}).join();
    descriptors_ = OpenDescriptors();
    threads_ = Threads();
  }
  void TearDown() override {
    EXPECT_EQ(descriptors_, OpenDescriptors()) << "descriptor leaked";
    EXPECT_EQ(threads_, Threads()) << "thread left running";
  }

 private:
  size_t descriptors_ = 0;
  size_t threads_ = 0;
};

// Milliseconds taken by `action`.
inline int64_t ElapsedMs(const std::function<void()>& action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace meridian::net::testing
