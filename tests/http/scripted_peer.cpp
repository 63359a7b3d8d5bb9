#include "http/scripted_peer.h"

#include <stdexcept>

namespace meridian::net::testing {

ScriptedPeer::ScriptedPeer(std::vector<std::string> pieces, Ending ending, std::chrono::milliseconds gap) {
  if (!SocketPair(wake_[0], wake_[1])) throw std::runtime_error("cannot make a socket pair");
  uint16_t port = 0;
  listener_ = ListenOnLoopback(1, port);
  if (listener_ == kNoSocket) {
    CloseSocket(wake_[0]);
    CloseSocket(wake_[1]);
    throw std::runtime_error("cannot listen on loopback");
  }
  port_ = port;
  thread_ = std::thread([this, pieces = std::move(pieces), ending, gap]() mutable {
    Run(std::move(pieces), ending, gap);
  });
}

ScriptedPeer::~ScriptedPeer() {
  {
    // The wake-up ends the waits for a client and for its close; shutting the
    // connection down ends a send into a client that does not read.
    std::lock_guard lock(mutex_);
    stopping_ = true;
    const char b = 1;
    SendBytes(wake_[1], &b, 1);
    if (peer_ != kNoSocket) ShutdownSocket(peer_);
  }
  thread_.join();
  CloseSocket(listener_);
  CloseSocket(wake_[0]);
  CloseSocket(wake_[1]);
}

void ScriptedPeer::Run(std::vector<std::string> pieces, Ending ending, std::chrono::milliseconds gap) {
  if (WaitReadable({wake_[0], listener_}, -1) != 1) return;
  const TestSocket socket = AcceptConnection(listener_);
  if (socket == kNoSocket) return;
  {
    std::lock_guard lock(mutex_);
    peer_ = socket;
    if (stopping_) ShutdownSocket(socket);
  }
  SetNoDelay(socket);
  for (const std::string& piece : pieces) {
    if (gap.count() > 0 && &piece != &pieces.front()) std::this_thread::sleep_for(gap);
    if (!SendAll(socket, piece.data(), piece.size())) break;  // the client has gone
  }
  if (ending == kHoldOpen) {
    char scratch[4096];
    while (WaitReadable({wake_[0], socket}, -1) == 1 && ReceiveBytes(socket, scratch, sizeof scratch) > 0) {
    }
  }
  std::lock_guard lock(mutex_);
  peer_ = kNoSocket;
  CloseSocket(socket);
}

std::vector<std::string> ScriptedPeer::Split(const std::string& bytes, size_t size) {
  std::vector<std::string> pieces;
  for (size_t at = 0; at < bytes.size(); at += size) pieces.push_back(bytes.substr(at, size));
  return pieces;
}

}  // namespace meridian::net::testing
