// A scripted HTTP peer for the client tests: listens on 127.0.0.1 (port 0) and
// serves requests in a thread of its own, one connection after another.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/test_socket.h"

namespace meridian::net::testing {

// One request as the server received it.
struct ReceivedRequest {
  int connection = 0;  // 1 for the first accepted connection, 2 for the next...
  std::string head;    // request line and header lines, up to and including the empty line
  std::string body;    // Content-Length bytes after the head
};

// What the server answers to one request.
struct Reply {
  std::string bytes;    // written as they are
  bool close = false;   // close the connection after writing
};

class LoopbackServer {
 public:
  using Handler = std::function<Reply(const ReceivedRequest&, size_t index)>;

  // Answers the n-th request with `handler(request, n)` (n counts from 0).
  explicit LoopbackServer(Handler handler);
  // Answers the requests with the replies in order; requests past the end get
  // their connection closed.
  explicit LoopbackServer(std::vector<Reply> replies);
  ~LoopbackServer();

  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int32_t Port() const { return port_; }
  std::string Url(const std::string& path) const;

  // The requests received so far, in order.
  std::vector<ReceivedRequest> Requests() const;
  // The number of connections accepted so far.
  int Connections() const;

 private:
  void Run();
  void Serve(TestSocket socket, int connection);
  bool WaitReadable(TestSocket socket);

  Handler handler_;
  TestSocket listener_ = kNoSocket;
  int32_t port_ = 0;
  bool stop_ = false;
  // A connected pair: the destructor writes to the one end to end the
  // thread's waits on the other.
  TestSocket wake_[2] = {kNoSocket, kNoSocket};
  mutable std::mutex mutex_;
  std::vector<ReceivedRequest> requests_;
  int connections_ = 0;
  std::thread thread_;
};

// "HTTP/1.1 200 OK" style reply with a Content-Length header and `body`.
std::string Response(const std::string& status, const std::string& body,
                     const std::string& extra_headers = "");

}  // namespace meridian::net::testing
