// A loopback peer for the response-reading tests: accepts one connection on
// 127.0.0.1 (port 0) in a thread of its own and writes scripted bytes to it,
// without reading any request.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace meridian::net::testing {

class ScriptedPeer {
 public:
  // What the peer does after writing its pieces.
  enum Ending : uint8_t {
    kClose,      // closes the connection at once
    kHoldOpen,   // keeps it open until the client closes it
  };

  // Writes each piece with a send of its own, in order, `gap` apart, then
  // ends as told.
  ScriptedPeer(std::vector<std::string> pieces, Ending ending, std::chrono::milliseconds gap = {});
  // Stops waiting (a client that never came, or never closes) and joins.
  ~ScriptedPeer();

  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  int32_t Port() const { return port_; }

  // Splits `bytes` into pieces of `size` bytes (the last one may be shorter).
  static std::vector<std::string> Split(const std::string& bytes, size_t size);

 private:
  void Run(std::vector<std::string> pieces, Ending ending, std::chrono::milliseconds gap);

  int listen_fd_ = -1;
  std::mutex mutex_;  // guards peer_fd_ and stopping_
  int peer_fd_ = -1;
  bool stopping_ = false;
  int32_t port_ = 0;
  std::thread thread_;
};

}  // namespace meridian::net::testing
