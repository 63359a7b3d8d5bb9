#include "content_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace meridian::testing {

namespace {

int ConnectTo(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string OkReply(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

TContentServer::TContentServer(TServerBehaviour behaviour, std::string reply, uint16_t port)
    : behaviour_(behaviour), reply_(std::move(reply)) {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  // With a backlog of 0 one waiting connection fills the accept queue; the
  // kernel then drops every further connect request unanswered.
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_, behaviour == sbNoAccept ? 0 : 16) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe2(wake_, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot listen on 127.0.0.1:" << port;
    close(listen_fd_);
    listen_fd_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  if (behaviour == sbNoAccept) {
    filler_fd_ = ConnectTo(port_);
    return;
  }
  thread_ = std::thread([this] { Run(); });
}

TContentServer::~TContentServer() {
  if (wake_[1] >= 0) {
    const char stop = 1;
    (void)!write(wake_[1], &stop, 1);
  }
  if (thread_.joinable()) thread_.join();
  for (const int fd : {listen_fd_, filler_fd_, wake_[0], wake_[1]}) {
    if (fd >= 0) close(fd);
  }
}

std::string TContentServer::BaseURL() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/Update/Contents/";
}

std::vector<std::string> TContentServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool TContentServer::Wait(int fd, int ms) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  if (poll(fds, 2, ms) < 0) return false;
  return fds[1].revents == 0;
}

bool TContentServer::Pause(int ms) {
  pollfd wake = {wake_[0], POLLIN, 0};
  return poll(&wake, 1, ms) == 0;
}

void TContentServer::Run() {
  while (Wait(listen_fd_, -1)) {
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    Serve(fd);
    close(fd);
  }
}

void TContentServer::Serve(int fd) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (!Wait(fd, -1)) return;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    head.append(buffer, static_cast<size_t>(n));
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(head.substr(0, head.find("\r\n")));
  }
  switch (behaviour_) {
    case sbAnswer:
      SendAll(fd, reply_);
      break;
    case sbSilent:
      Pause(-1);
      break;
    case sbDrip:
      // The interval is the server's pace, not a synchronisation: it ends at
      // once when the server is stopped.
      if (!SendAll(fd, "HTTP/1.1 200 OK\r\nX-Drip: ")) break;
      while (Pause(50) && SendAll(fd, "a")) {
      }
      break;
    case sbNoAccept:
      break;
  }
}

}  // namespace meridian::testing
