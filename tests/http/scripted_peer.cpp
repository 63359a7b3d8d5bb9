#include "http/scripted_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "support/loopback_listen.h"

namespace meridian::net::testing {

ScriptedPeer::ScriptedPeer(std::vector<std::string> pieces, Ending ending, std::chrono::milliseconds gap) {
  uint16_t port = 0;
  listen_fd_ = ListenOnLoopback(1, port);
  if (listen_fd_ < 0) throw std::runtime_error("cannot listen on loopback");
  port_ = port;
  thread_ = std::thread([this, pieces = std::move(pieces), ending, gap]() mutable {
    Run(std::move(pieces), ending, gap);
  });
}

ScriptedPeer::~ScriptedPeer() {
  {
    // Shutting a socket down wakes a thread blocked in accept or recv on it.
    std::lock_guard lock(mutex_);
    stopping_ = true;
    shutdown(listen_fd_, SHUT_RDWR);
    if (peer_fd_ >= 0) shutdown(peer_fd_, SHUT_RDWR);
  }
  thread_.join();
  close(listen_fd_);
}

void ScriptedPeer::Run(std::vector<std::string> pieces, Ending ending, std::chrono::milliseconds gap) {
  int fd = accept(listen_fd_, nullptr, nullptr);
  if (fd < 0) return;
  {
    std::lock_guard lock(mutex_);
    peer_fd_ = fd;
    if (stopping_) shutdown(fd, SHUT_RDWR);
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  for (const std::string& piece : pieces) {
    if (gap.count() > 0 && &piece != &pieces.front()) std::this_thread::sleep_for(gap);
    size_t sent = 0;
    while (sent < piece.size()) {
      ssize_t n = send(fd, piece.data() + sent, piece.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    if (sent < piece.size()) break;  // the client has gone
  }
  if (ending == kHoldOpen) {
    char scratch[4096];
    while (recv(fd, scratch, sizeof scratch, 0) > 0) {
    }
  }
  std::lock_guard lock(mutex_);
  peer_fd_ = -1;
  close(fd);
}

std::vector<std::string> ScriptedPeer::Split(const std::string& bytes, size_t size) {
  std::vector<std::string> pieces;
  for (size_t at = 0; at < bytes.size(); at += size) pieces.push_back(bytes.substr(at, size));
  return pieces;
}

}  // namespace meridian::net::testing
