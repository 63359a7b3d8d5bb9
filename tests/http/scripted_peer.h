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

#include "support/test_socket.h"

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

  TestSocket listener_ = kNoSocket;
  // A connected pair: the destructor writes to the one end to end the
  // thread's waits on the other.
  TestSocket wake_[2] = {kNoSocket, kNoSocket};
  std::mutex mutex_;  // guards peer_ and stopping_
  TestSocket peer_ = kNoSocket;
  bool stopping_ = false;
  int32_t port_ = 0;
  std::thread thread_;
};

}  // namespace meridian::net::testing
