#include "http/loopback_server.h"

#include <cstdlib>
#include <stdexcept>


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
  if (!SocketPair(wake_[0], wake_[1])) throw std::runtime_error("cannot make a socket pair");
  uint16_t port = 0;
  listener_ = ListenOnLoopback(8, port);
  if (listener_ == kNoSocket) {
    CloseSocket(wake_[0]);
    CloseSocket(wake_[1]);
    throw std::runtime_error("cannot listen on loopback");
  }
  port_ = port;
  thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  const char b = 1;
  SendBytes(wake_[1], &b, 1);
  thread_.join();
  CloseSocket(listener_);
  CloseSocket(wake_[0]);
  CloseSocket(wake_[1]);
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

// Waits until `socket` is readable; false when the server is being stopped.
bool LoopbackServer::WaitReadable(TestSocket socket) {
  return testing::WaitReadable({wake_[0], socket}, -1) == 1;
}

void LoopbackServer::Run() {
  for (int connection = 1;; ++connection) {
    if (!WaitReadable(listener_)) return;
    const TestSocket socket = AcceptConnection(listener_);
    if (socket == kNoSocket) return;
    {
      std::lock_guard lock(mutex_);
      connections_ = connection;
    }
    Serve(socket, connection);
    CloseSocket(socket);
  }
}

// Reads requests from one connection and answers each until the client closes,
// a reply asks to close, or the server stops.
void LoopbackServer::Serve(TestSocket socket, int connection) {
  std::string pending;
  char chunk[4096];
  for (;;) {
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
      if (pending.size() > kMaxHead || !WaitReadable(socket)) return;
      const int64_t n = ReceiveBytes(socket, chunk, sizeof chunk);
      if (n <= 0) return;
      pending.append(chunk, static_cast<size_t>(n));
    }
    ReceivedRequest request;
    request.connection = connection;
    request.head = pending.substr(0, end + 4);
    pending.erase(0, end + 4);
    size_t length = ContentLength(request.head);
    while (pending.size() < length) {
      if (!WaitReadable(socket)) return;
      const int64_t n = ReceiveBytes(socket, chunk, sizeof chunk);
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
    if (!SendAll(socket, reply.bytes.data(), reply.bytes.size())) return;
    if (reply.close) return;
  }
}

std::string Response(const std::string& status, const std::string& body,
                     const std::string& extra_headers) {
  return status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra_headers +
         "\r\n" + body;
}

}  // namespace meridian::net::testing
