// The HTTP client over TLS, against the library's own TLS server side on
// loopback with certificates made by the openssl command.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "http/http_client.h"
#include "net/exceptions.h"
#include "tls_peers.h"
#include "transport/loopback.h"
#include "transport/tcp_connection.h"
#include "transport/tls/server_io_handler_ssl.h"
#include "transport/tls/ssl_io_handler_socket.h"

namespace meridian::net {
namespace {

// Serves up to `connections` TLS connections one after another, each until
// the client closes it, answering every request with a short page that sets
// a secure cookie.
class TLSPageServer {
 public:
  TLSPageServer(const testing::TestPki& pki, int connections) : listener_(nullptr) {
    server_.SSLOptions().SetCertFile(pki.Pem("server"));
    server_.SSLOptions().SetKeyFile(pki.Key("server"));
    thread_ = std::thread([this, connections] {
      for (int i = 0; i < connections; ++i) {
        try {
          if (!listener_.Listener().Readable(10000)) return;
          std::unique_ptr<TNetIOHandler> peer = server_.Accept(listener_.Listener().Handle());
          if (peer == nullptr) return;
          ++accepted;
          peer->AfterAccept();
          TNetTCPConnection connection;
          connection.SetIOHandler(peer.get());
          connection.SetReadTimeout(10000);
          for (int request = 0; request < 10; ++request) {
            std::string line = connection.ReadLn();
            if (line.empty()) break;
            while (!connection.ReadLn().empty()) {
            }
            ++requests;
            connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 6\r\nSet-Cookie: s=1; Secure\r\n\r\nsecret");
          }
          connection.SetIOHandler(nullptr);
        } catch (const std::exception&) {
          // The client went away or refused the server: the next connection.
        }
      }
    });
  }
  ~TLSPageServer() { thread_.join(); }
  std::string Url(const std::string& host, const std::string& path) const {
    return "https://" + host + ":" + std::to_string(listener_.Port()) + path;
  }

  std::atomic<int> accepted{0};
  std::atomic<int> requests{0};

 private:
  testing::LoopbackServer listener_;
  TNetServerIOHandlerSSL server_;
  std::thread thread_;
};

// A client that trusts the test root besides the system's CAs.
class TrustingHTTP : public TNetHTTP {
 public:
  explicit TrustingHTTP(std::string root) : root_(std::move(root)) {}

 protected:
  TNetIOHandlerSocket* MakeIOHandler(bool tls) override {
    TNetIOHandlerSocket* handler = TNetHTTP::MakeIOHandler(tls);
    if (auto* ssl = dynamic_cast<TNetSSLIOHandlerSocket*>(handler)) ssl->SSLOptions().SetRootCertFile(root_);
    return handler;
  }

 private:
  std::string root_;
};

class HTTPSClient : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { pki_ = new testing::TestPki; }
  static void TearDownTestSuite() {
    delete pki_;
    pki_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(pki_->Ok()) << "the openssl command could not make the test certificates"; }
  static testing::TestPki* pki_;
};
testing::TestPki* HTTPSClient::pki_ = nullptr;

// By default the client's own TLS handler checks the server against the
// system's CAs, which do not know the test root; no request is sent.
TEST_F(HTTPSClient, VerifiesTheServerByDefault) {
  TLSPageServer server(*pki_, 1);
  TNetHTTP http;
  try {
    http.Get(server.Url("localhost", "/"));
    ADD_FAILURE() << "no exception";
  } catch (const ENetOSSLVerifyError& e) {
    EXPECT_EQ("Peer certificate not verified: unable to get local issuer certificate", e.Message());
  }
  EXPECT_EQ(0, server.requests.load());
}

// Trusted, one host gets several requests over one TLS connection; another
// name gets a connection of its own, and plain http afterwards a plain one.
TEST_F(HTTPSClient, FetchesOverOneConnectionPerServerThenPlainAgain) {
  TLSPageServer server(*pki_, 2);
  TrustingHTTP http(pki_->Pem("ca"));
  http.SetReadTimeout(10000);
  EXPECT_EQ("secret", http.Get(server.Url("localhost", "/a")));
  EXPECT_EQ("secret", http.Get(server.Url("localhost", "/b")));
  EXPECT_EQ("secret", http.Get(server.Url("127.0.0.1", "/c")));
  EXPECT_EQ(3, server.requests.load());
  EXPECT_EQ(2, server.accepted.load());
  http.Disconnect();

  {
    testing::LoopbackServer plain([&](testing::Peer& peer) {
      peer.WaitForData();
      peer.Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nplain");
      peer.Close();
    });
    http.SetReadTimeout(1000);
    EXPECT_EQ("plain", http.Get("http://localhost:" + std::to_string(plain.Port()) + "/"));
    http.Disconnect();
  }
  EXPECT_EQ(nullptr, http.IOHandler());
}

}  // namespace
}  // namespace meridian::net
