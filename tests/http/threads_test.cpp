// Many clients on threads of their own sharing one cookie store, against a
// loopback server that serves every connection at once. Run under
// ThreadSanitizer by scripts/tsan.sh; under the other sanitizers it still
// checks that no cookie is lost or crossed between clients.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/cookie_manager.h"
#include "http/http_client.h"
#include "support/test_socket.h"

namespace meridian::net {
namespace {

constexpr int kClients = 16;
constexpr int kRequestsPerClient = 200;
// Every wait of the server is bounded so that a failing client cannot hang
// the suite.
constexpr int kWaitMs = 30000;
constexpr size_t kMaxHead = 64 * 1024;

// Answers each request on each connection with a cookie named after the
// request's path ("/c3/17" sets "c3=17") and, as the body, the request's
// "Cookie" line. One thread per accepted connection, up to `connections`.
class CookieServer {
 public:
  explicit CookieServer(int connections) {
    listener_ = testing::ListenOnLoopback(connections, port_);
    if (listener_ == testing::kNoSocket) {
      ADD_FAILURE() << "cannot listen on loopback";
      return;
    }
    accepter_ = std::thread([this, connections] { Accept(connections); });
  }

  ~CookieServer() {
    accepter_.join();
    for (std::thread& t : servers_) t.join();
    if (listener_ != testing::kNoSocket) testing::CloseSocket(listener_);
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  static bool Readable(testing::TestSocket socket) { return testing::WaitReadable({socket}, kWaitMs) == 0; }

  void Accept(int connections) {
    for (int i = 0; i < connections && Readable(listener_); ++i) {
      const testing::TestSocket socket = testing::AcceptConnection(listener_);
      if (socket == testing::kNoSocket) return;
      servers_.emplace_back([socket] { Serve(socket); });
    }
  }

  // Serves until the client closes, a wait runs out or a head is too long.
  static void Serve(testing::TestSocket socket) {
    std::string in;
    for (;;) {
      size_t end;
      while ((end = in.find("\r\n\r\n")) == std::string::npos) {
        char buffer[4096];
        if (in.size() > kMaxHead || !Readable(socket)) return testing::CloseSocket(socket);
        const int64_t n = testing::ReceiveBytes(socket, buffer, sizeof buffer);
        if (n <= 0) return testing::CloseSocket(socket);
        in.append(buffer, static_cast<size_t>(n));
      }
      const std::string head = in.substr(0, end + 2);
      in.erase(0, end + 4);
      const size_t path_at = head.find(' ') + 2;
      const std::string path = head.substr(path_at, head.find(' ', path_at) - path_at);
      const size_t slash = path.find('/');
      std::string cookie;
      const size_t cookie_at = head.find("\r\nCookie: ");
      if (cookie_at != std::string::npos) {
        cookie = head.substr(cookie_at + 10, head.find("\r\n", cookie_at + 2) - cookie_at - 10);
      }
      const std::string reply = "HTTP/1.1 200 OK\r\nSet-Cookie: " + path.substr(0, slash) + "=" +
                                path.substr(slash + 1) + "; Path=/\r\nContent-Length: " +
                                std::to_string(cookie.size()) + "\r\n\r\n" + cookie;
      if (!testing::SendAll(socket, reply.data(), reply.size())) return testing::CloseSocket(socket);
    }
  }

  testing::TestSocket listener_ = testing::kNoSocket;
  uint16_t port_ = 0;
  std::thread accepter_;
  std::vector<std::thread> servers_;  // touched by the accepter only until it is joined
};

// True when the "Cookie" value holds the pair `name=value` whole.
bool HoldsPair(const std::string& cookie_line, const std::string& pair) {
  return ("; " + cookie_line + ";").find("; " + pair + ";") != std::string::npos;
}

TEST(TNetHTTPThreads, ClientsOnManyThreadsShareOneCookieManager) {
  TNetCookieManager cookies;
  CookieServer server(kClients);
  // Clients are made and bound to the store on this thread; only the
  // exchanges run in parallel.
  std::vector<std::unique_ptr<TNetHTTP>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<TNetHTTP>());
    clients.back()->SetCookieManager(&cookies);
  }
  std::atomic<int> wrong{0};
  std::atomic<int> failed{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kClients; ++i) {
    threads.emplace_back([&, i] {
      const std::string name = "c" + std::to_string(i);
      try {
        for (int n = 0; n < kRequestsPerClient; ++n) {
          const std::string sent = clients[i]->Get(server.Url("/" + name + "/" + std::to_string(n)));
          // Each request carries the cookie its previous answer set.
          if (n > 0 && !HoldsPair(sent, name + "=" + std::to_string(n - 1))) ++wrong;
        }
      } catch (const std::exception&) {
        ++failed;
      }
      clients[i]->Disconnect();
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(0, failed.load());
  EXPECT_EQ(0, wrong.load());
  clients.clear();
  EXPECT_EQ(kClients, cookies.Cookies().Count());
}

}  // namespace
}  // namespace meridian::net
