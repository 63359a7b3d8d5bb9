#include "http/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/loopback_listen.h"

namespace meridian::net::testing {

namespace {

constexpr size_t kMaxHead = 1 << 20;

size_t ContentLength(const std::string& head) {
  // Case-insensitive search for the Content-Length line of a request head.
  std::string lower;
  lower.reserve(head.size());
  for (char c : head) lower += static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
  size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return std::strtoul(head.c_str() + at + 17, nullptr, 10);
}

}  // namespace

LoopbackServer::LoopbackServer(std::vector<Reply> replies)
    : LoopbackServer([replies = std::move(replies)](const ReceivedRequest&, size_t index) {
        return index < replies.size() ? replies[index] : Reply{"", true};
      }) {}

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
  if (pipe(wake_) != 0) throw std::runtime_error("pipe");
  uint16_t port = 0;
  listen_fd_ = ListenOnLoopback(8, port);
  if (listen_fd_ < 0) throw std::runtime_error("cannot listen on loopback");
  port_ = port;
  thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  char b = 1;
  (void)!write(wake_[1], &b, 1);
  thread_.join();
  close(listen_fd_);
  close(wake_[0]);
  close(wake_[1]);
}

std::string LoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<ReceivedRequest> LoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int LoopbackServer::Connections() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

// Waits until `fd` is readable; false when the server is being stopped.
bool LoopbackServer::WaitReadable(int fd) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  for (;;) {
    int n = poll(fds, 2, -1);
    if (n < 0) return false;
    if (fds[1].revents != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

void LoopbackServer::Run() {
  for (int connection = 1;; ++connection) {
    if (!WaitReadable(listen_fd_)) return;
    int fd = accept(listen_fd_, nullptr, nullptr);
    if (fd < 0) return;
    {
      std::lock_guard lock(mutex_);
      connections_ = connection;
    }
    Serve(fd, connection);
    close(fd);
  }
}

// Reads requests from one connection and answers each until the client closes,
// a reply asks to close, or the server stops.
void LoopbackServer::Serve(int fd, int connection) {
  std::string pending;
  char chunk[4096];
  for (;;) {
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
      if (pending.size() > kMaxHead || !WaitReadable(fd)) return;
      ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) return;
      pending.append(chunk, static_cast<size_t>(n));
    }
    ReceivedRequest request;
    request.connection = connection;
    request.head = pending.substr(0, end + 4);
    pending.erase(0, end + 4);
    size_t length = ContentLength(request.head);
    while (pending.size() < length) {
      if (!WaitReadable(fd)) return;
      ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) return;
      pending.append(chunk, static_cast<size_t>(n));
    }
    request.body = pending.substr(0, length);
    pending.erase(0, length);
    size_t index;
    {
      std::lock_guard lock(mutex_);
      index = requests_.size();
      requests_.push_back(request);
    }
    Reply reply = handler_(request, index);
    size_t sent = 0;
    while (sent < reply.bytes.size()) {
      ssize_t n = send(fd, reply.bytes.data() + sent, reply.bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
    if (reply.close) return;
  }
}

std::string Response(const std::string& status, const std::string& body,
                     const std::string& extra_headers) {
  return status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra_headers +
         "\r\n" + body;
}

}  // namespace meridian::net::testing
