// A stand-in content server for the update check: listens on 127.0.0.1 and
// behaves as a test asks, in a thread of its own.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace meridian::testing {

enum TServerBehaviour : uint8_t {
  sbAnswer,    // reads each request and writes the reply, then closes
  sbSilent,    // accepts and reads the request, then sends nothing
  sbDrip,      // answers with a status line and then a header line without end, one byte per 50 ms
  sbNoAccept,  // its accept queue is full: a further connect is never answered
};

class TContentServer {
 public:
  // Listens on `port` (0: any free port). Fails the current test when it
  // cannot listen.
  explicit TContentServer(TServerBehaviour behaviour, std::string reply = "", uint16_t port = 0);
  ~TContentServer();
  TContentServer(const TContentServer&) = delete;
  TContentServer& operator=(const TContentServer&) = delete;

  bool Listening() const { return listen_fd_ >= 0; }
  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>/Update/Contents/".
  std::string BaseURL() const;
  // The request lines received so far, in order.
  std::vector<std::string> Requests() const;

 private:
  void Run();
  void Serve(int fd);
  // Waits up to `ms` (-1: no limit) for `fd` to become readable; false when
  // the server is being stopped.
  bool Wait(int fd, int ms);
  // Waits `ms` (-1: until stopped); false when the server is being stopped.
  bool Pause(int ms);

  TServerBehaviour behaviour_;
  std::string reply_;
  int listen_fd_ = -1;
  int filler_fd_ = -1;
  uint16_t port_ = 0;
  int wake_[2] = {-1, -1};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A 200 reply with `body` and its Content-Length.
std::string OkReply(const std::string& body);

}  // namespace meridian::testing
