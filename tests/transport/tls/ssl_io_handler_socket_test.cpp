#include "transport/tls/ssl_io_handler_socket.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/exceptions.h"
#include "tls_peers.h"
#include "transport/deadline.h"
#include "transport/loopback.h"
#include "transport/tcp_client.h"
#include "transport/tls/openssl_binding.h"
#include "transport/tls/server_io_handler_ssl.h"
#include "transport/tls/ssl_context.h"

namespace meridian::net {
namespace {

using testing::ElapsedMs;
using testing::Latch;
using testing::LoopbackServer;
using testing::OpensslServer;
using testing::Peer;
using testing::TestPki;

std::string StatusLine(TNetTCPClient& client) {
  std::string line = client.ReadLn();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// One certificate authority for the whole suite; OpenSSL is loaded before the
// first test counts descriptors, since it keeps what it opens while loading.
class TNetSSLIOHandlerSocketTest : public testing::LeakCheckedTest {
 protected:
  static void SetUpTestSuite() {
    pki_ = new TestPki;
    TNetOpenSSL::LoadOpenSSLLibrary();
  }
  static void TearDownTestSuite() {
    delete pki_;
    pki_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(pki_->Ok()) << "the openssl command could not make the test certificates";
    testing::LeakCheckedTest::SetUp();
  }

  // A client whose handler trusts the test root and verifies the peer.
  struct Client {
    Client() {
      client.SetIOHandler(&handler);
      handler.SSLOptions().SetRootCertFile(pki_->Pem("ca"));
      handler.SSLOptions().SetVerifyMode({sslvrfPeer});
      handler.SSLOptions().SetVerifyDepth(9);
    }
    void Connect(const std::string& host, int port) {
      client.SetHost(host);
      client.SetPort(port);
      client.Connect();
    }
    std::string Get() {
      client.Write("GET / HTTP/1.0\r\n\r\n");
      return StatusLine(client);
    }
    TNetSSLIOHandlerSocket handler;
    TNetTCPClient client;
  };

  static std::vector<std::string> ServerWith(const std::string& name) {
    return {"-www", "-cert", pki_->Pem(name), "-key", pki_->Key(name)};
  }

  static TestPki* pki_;
};

TestPki* TNetSSLIOHandlerSocketTest::pki_ = nullptr;

TEST_F(TNetSSLIOHandlerSocketTest, VerifiedConnectionsCarryRequestAndReplyByNameAndByAddress) {
  for (const std::string host : {"localhost", "127.0.0.1"}) {
    SCOPED_TRACE(host);
    OpensslServer server(ServerWith("server"));
    ASSERT_NE(0, server.Port());
    Client tls;
    tls.Connect(host, server.Port());
    ASSERT_NE(nullptr, tls.handler.SSLSocket());
    EXPECT_EQ("HTTP/1.0 200 ok", tls.Get());
    tls.client.Disconnect();
  }
}

TEST_F(TNetSSLIOHandlerSocketTest, RefusedCertificatesNameTheirReasonAndPassWithoutVerification) {
  struct Case {
    const char* certificate;
    const char* reason;
  };
  const Case cases[] = {
      {"expired", "certificate has expired"},
      {"wronghost", "hostname mismatch"},
      {"untrusted", "unable to get local issuer certificate"},
      {"selfsigned", "self-signed certificate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.certificate);
    {
      OpensslServer server(ServerWith(c.certificate));
      Client tls;
      try {
        tls.Connect("localhost", server.Port());
        ADD_FAILURE() << "connected";
      } catch (const ENetOSSLVerifyError& e) {
        EXPECT_EQ(c.reason, e.Reason());
        EXPECT_EQ(std::string("Peer certificate not verified: ") + c.reason, e.Message());
      }
      EXPECT_FALSE(tls.client.Connected());
    }
    OpensslServer server(ServerWith(c.certificate));
    Client tls;
    tls.handler.SSLOptions().SetVerifyMode({});
    tls.Connect("localhost", server.Port());
    EXPECT_EQ("HTTP/1.0 200 ok", tls.Get());
  }
}

// Without trusted certificates of its own the handler trusts the system's
// (here made the test root through SSL_CERT_FILE); certificates of its own
// replace the system's instead of adding to them.
TEST_F(TNetSSLIOHandlerSocketTest, OwnTrustedCertificatesReplaceTheSystems) {
  const char* old = getenv("SSL_CERT_FILE");
  const std::string saved = old != nullptr ? old : "";
  setenv("SSL_CERT_FILE", pki_->Pem("ca").c_str(), 1);
  struct Restore {
    const char* value;
    ~Restore() {
      if (value != nullptr) {
        setenv("SSL_CERT_FILE", value, 1);
      } else {
        unsetenv("SSL_CERT_FILE");
      }
    }
  } restore{old != nullptr ? saved.c_str() : nullptr};
  {
    OpensslServer server(ServerWith("server"));
    Client tls;
    tls.handler.SSLOptions().SetRootCertFile("");
    tls.Connect("localhost", server.Port());
    EXPECT_EQ("HTTP/1.0 200 ok", tls.Get());
  }
  OpensslServer server(ServerWith("server"));
  Client tls;
  tls.handler.SSLOptions().SetRootCertFile(pki_->Pem("selfsigned"));
  EXPECT_THROW(tls.Connect("localhost", server.Port()), ENetOSSLVerifyError);
}

TEST_F(TNetSSLIOHandlerSocketTest, AServerThatWantsAClientCertificateGetsOneOnlyWhenGiven) {
  const std::vector<std::string> wants_certificate = {"-Verify", "1", "-CAfile", pki_->Pem("ca")};
  {
    std::vector<std::string> arguments = ServerWith("server");
    arguments.insert(arguments.end(), wants_certificate.begin(), wants_certificate.end());
    OpensslServer server(arguments);
    Client tls;
    // Under TLS 1.3 the server refuses after the client's handshake is done,
    // so the refusal can arrive with the first reply.
    EXPECT_THROW(
        {
          tls.Connect("localhost", server.Port());
          tls.Get();
        },
        ENetException);
  }
  std::vector<std::string> arguments = ServerWith("server");
  arguments.insert(arguments.end(), wants_certificate.begin(), wants_certificate.end());
  OpensslServer server(arguments);
  Client tls;
  tls.handler.SSLOptions().SetCertFile(pki_->Pem("client"));
  tls.handler.SSLOptions().SetKeyFile(pki_->Key("client"));
  tls.Connect("localhost", server.Port());
  EXPECT_EQ("HTTP/1.0 200 ok", tls.Get());
}

TEST_F(TNetSSLIOHandlerSocketTest, UnusableSettingsRaiseTheirExceptionsAfterTheTcpConnect) {
  struct Case {
    const char* what;
    std::function<void(TNetSSLOptions&)> set;
    const char* message;
  };
  const Case cases[] = {
      {"key of another certificate",
       [](TNetSSLOptions& o) {
         o.SetCertFile(pki_->Pem("client"));
         o.SetKeyFile(pki_->Key("stranger"));
       },
       "Could not load key, check password."},
      {"certificate file missing", [](TNetSSLOptions& o) { o.SetCertFile(pki_->Pem("absent")); },
       "Could not load certificate."},
      {"root file missing", [](TNetSSLOptions& o) { o.SetRootCertFile(pki_->Pem("absent")); },
       "Could not load root certificate."},
      {"unknown ciphers", [](TNetSSLOptions& o) { o.SetCipherList("NO-SUCH-CIPHER"); }, "SetCipher failed."},
      {"method outside the table", [](TNetSSLOptions& o) { o.SetMethod(static_cast<TNetSSLVersion>(7)); },
       "Error geting SSL method."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Latch connected;
    LoopbackServer server([&](Peer& peer) {
      connected.Signal();
      peer.ReceiveAll();
    });
    Client tls;
    c.set(tls.handler.SSLOptions());
    try {
      tls.Connect("127.0.0.1", server.Port());
      ADD_FAILURE() << "connected";
    } catch (const ENetOpenSSLError& e) {
      EXPECT_EQ(c.message, e.Message());
    }
    EXPECT_TRUE(connected.Wait());
  }
}

TEST_F(TNetSSLIOHandlerSocketTest, AServerOfferingOnlyTls10IsRefused) {
  OpensslServer server({"-www", "-cert", pki_->Pem("server"), "-key", pki_->Key("server"), "-tls1", "-cipher",
                        "DEFAULT@SECLEVEL=0"});
  Client tls;
  EXPECT_THROW(
      {
        try {
          tls.Connect("localhost", server.Port());
        } catch (const ENetOSSLConnectError& e) {
          EXPECT_EQ("Error connecting with SSL.", e.Message());
          throw;
        }
      },
      ENetOSSLConnectError);
}

TEST_F(TNetSSLIOHandlerSocketTest, OnVerifyPeerSeesTheChainAndTheDepthRuleCutsItShort) {
  struct Case {
    int32_t depth;
    bool answer;
    bool with_event;
    const char* reason;  // empty: accepted
  };
  // The chain: deep (0), inter (1), the trusted root (2).
  const Case cases[] = {
      {2, true, true, ""},
      {1, true, true, "certificate chain too long"},
      {1, true, false, ""},  // OpenSSL's own limit counts the root apart
      {2, false, true, "application verification failure"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.depth) + (c.answer ? " yes" : " no") + (c.with_event ? "" : " no event"));
    OpensslServer server(
        {"-www", "-cert", pki_->Pem("deep"), "-key", pki_->Key("deep"), "-cert_chain", pki_->Pem("inter")});
    Client tls;
    tls.handler.SSLOptions().SetVerifyDepth(c.depth);
    std::vector<std::string> subjects;
    if (c.with_event) {
      tls.handler.OnVerifyPeer = [&](TNetX509& certificate) {
        subjects.push_back(certificate.Subject());
        return c.answer;
      };
    }
    try {
      tls.Connect("localhost", server.Port());
      EXPECT_STREQ("", c.reason);
      EXPECT_EQ("HTTP/1.0 200 ok", tls.Get());
    } catch (const ENetOSSLVerifyError& e) {
      EXPECT_EQ(c.reason, e.Reason());
    }
    if (c.with_event) {
      ASSERT_FALSE(subjects.empty());
      EXPECT_EQ("/CN=Meridian Test Root", subjects.front());
    }
    if (c.with_event && c.answer && c.depth == 2) {
      EXPECT_EQ((std::vector<std::string>{"/CN=Meridian Test Root", "/CN=Meridian Test Intermediate",
                                          "/CN=localhost"}),
                subjects);
    }
  }
}

TEST_F(TNetSSLIOHandlerSocketTest, StatusInfoGetsOneCipherTextAfterTheHandshake) {
  OpensslServer server(ServerWith("server"));
  // Outlives the handler, which reports the session's close too.
  std::vector<std::string> texts;
  Client tls;
  tls.handler.OnStatusInfo = [&](const std::string& msg) { texts.push_back(msg); };
  tls.Connect("localhost", server.Port());
  std::vector<std::string> ciphers;
  for (const std::string& text : texts) {
    if (text.rfind("Cipher: ", 0) == 0) ciphers.push_back(text);
  }
  ASSERT_EQ(1u, ciphers.size());
  TNetSSLCipher& cipher = tls.handler.SSLSocket()->Cipher();
  EXPECT_EQ("TLSv1.3", cipher.Version());
  EXPECT_GE(cipher.Bits(), 128);
  EXPECT_EQ("Cipher: name = " + cipher.Name() + "; description = " + cipher.Description() +
                "; bits = " + std::to_string(cipher.Bits()) + "; version = TLSv1.3; ",
            ciphers.front());
  EXPECT_NE(std::string::npos, cipher.Description().find(cipher.Name()));
  // The info callback reports the handshake's states before the cipher.
  EXPECT_EQ("SSL status: \"before SSL initialization\"", texts.front());
}

TEST_F(TNetSSLIOHandlerSocketTest, AHandshakeWithASilentServerEndsAfterTheReadTimeout) {
  Latch done;
  LoopbackServer server([&](Peer&) { done.Wait(); });
  Client tls;
  tls.handler.SetReadTimeout(300);
  const int64_t elapsed = ElapsedMs([&] { EXPECT_THROW(tls.Connect("127.0.0.1", server.Port()), ENetReadTimeout); });
  done.Signal();
  EXPECT_GE(elapsed, 250);
  EXPECT_LT(elapsed, 5000);
}

TEST_F(TNetSSLIOHandlerSocketTest, PassThroughMovesPlainBytesAndSwitchingOffStartsTlsOnTheOpenConnection) {
  {
    LoopbackServer server([](Peer& peer) {
      peer.Send("plain\r\n");
      peer.ReceiveAll();
    });
    Client tls;
    tls.handler.SetPassThrough(true);
    tls.Connect("127.0.0.1", server.Port());
    EXPECT_EQ(nullptr, tls.handler.SSLSocket());
    EXPECT_EQ("plain", StatusLine(tls.client));
  }
  OpensslServer server(ServerWith("server"));
  Client tls;
  tls.handler.SetPassThrough(true);
  tls.Connect("127.0.0.1", server.Port());
  // As after a proxy's tunnel: the name to check is the far end's.
  tls.handler.SetHostName("localhost");
  tls.handler.SetPassThrough(false);
  ASSERT_NE(nullptr, tls.handler.SSLSocket());
  EXPECT_EQ("HTTP/1.0 200 ok", tls.Get());
}

TEST_F(TNetSSLIOHandlerSocketTest, ReadableCountsBytesHeldInTheSessionAndIgnoresRecordsWithoutData) {
  OpensslServer server(ServerWith("server"));
  Client tls;
  tls.Connect("localhost", server.Port());
  // The server's session tickets arrive after the handshake: records that a
  // read must not wake for.
  EXPECT_FALSE(tls.handler.Readable(300));
  tls.client.Write("GET / HTTP/1.0\r\n\r\n");
  ASSERT_TRUE(tls.handler.Readable(5000));
  char first = 0;
  ASSERT_EQ(1, tls.handler.Recv(&first, 1));
  EXPECT_EQ('H', first);
  // The rest of the record is held by the session, not the socket.
  EXPECT_TRUE(tls.handler.Readable(0));
  char rest[64] = {};
  const int32_t n = tls.handler.Recv(rest, sizeof rest);
  ASSERT_GT(n, 0);
  EXPECT_EQ(0u, std::string(rest, static_cast<size_t>(n)).rfind("TTP/1.0 200 ok", 0));
}

TEST_F(TNetSSLIOHandlerSocketTest, TheLibrarysOwnServerAcceptsTheLibrarysClient) {
  LoopbackServer listener(nullptr);
  TNetServerIOHandlerSSL server_handler;
  server_handler.SSLOptions().SetCertFile(pki_->Pem("server"));
  server_handler.SSLOptions().SetKeyFile(pki_->Key("server"));
  std::vector<std::string> server_texts;
  server_handler.OnStatusInfo = [&](const std::string& msg) { server_texts.push_back(msg); };
  std::string received;
  std::thread serving([&] {
    try {
      if (!listener.Listener().Readable(10000)) return;
      std::unique_ptr<TNetIOHandler> peer = server_handler.Accept(listener.Listener().Handle());
      if (peer == nullptr) return;
      peer->AfterAccept();
      TNetTCPConnection connection;
      connection.SetIOHandler(peer.get());
      received = connection.ReadLn();
      connection.WriteLn("echo: " + received);
      connection.Disconnect();
    } catch (const std::exception& e) {
      received = std::string("failed: ") + e.what();
    }
  });
  Client tls;
  tls.Connect("localhost", listener.Port());
  tls.client.WriteLn("hello");
  EXPECT_EQ("echo: hello", tls.client.ReadLn());
  serving.join();
  EXPECT_EQ("hello", received);
  int ciphers = 0;
  for (const std::string& text : server_texts) ciphers += text.rfind("Cipher: name = ", 0) == 0 ? 1 : 0;
  EXPECT_EQ(1, ciphers);
}

// A peer that completes the handshake and then reads nothing: a large write
// fills the socket's buffers and ends at the connection's deadline, closed,
// instead of blocking inside the TLS library.
TEST_F(TNetSSLIOHandlerSocketTest, AWriteToAPeerThatStopsReadingEndsAtTheDeadline) {
  LoopbackServer listener(nullptr);
  TNetServerIOHandlerSSL server_handler;
  server_handler.SSLOptions().SetCertFile(pki_->Pem("server"));
  server_handler.SSLOptions().SetKeyFile(pki_->Key("server"));
  std::atomic<bool> done{false};
  std::thread serving([&] {
    try {
      if (!listener.Listener().Readable(10000)) return;
      std::unique_ptr<TNetIOHandler> peer = server_handler.Accept(listener.Listener().Handle());
      if (peer == nullptr) return;
      peer->AfterAccept();
      for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      peer->Close();
    } catch (const std::exception&) {
    }
  });
  Client tls;
  tls.Connect("localhost", listener.Port());
  tls.client.SetDeadline(TNetDeadline::In(1500));
  const std::string block(1 << 20, 'x');
  const auto started = std::chrono::steady_clock::now();
  EXPECT_THROW(
      {
        for (int i = 0; i < 256; ++i) tls.client.Write(block);
      },
      ENetReadTimeout);
  const auto took = std::chrono::steady_clock::now() - started;
  done = true;
  serving.join();
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_FALSE(tls.client.Connected());
}

// Answers the password callback with a fixed text.
class PasswordEvents : public TNetSSLEvents {
 public:
  explicit PasswordEvents(std::string password) : password_(std::move(password)) {}
  void FireStatusInfo(const std::string&) override {}
  void FireGetPassword(std::string& password) override {
    ++asked;
    password = password_;
  }
  bool FireVerifyPeer(TNetX509&) override { return true; }
  int asked = 0;

 private:
  std::string password_;
};

TEST_F(TNetSSLIOHandlerSocketTest, ALockedKeyLoadsOnlyWithItsPassword) {
  struct Case {
    const char* password;
    bool loads;
  };
  const Case cases[] = {{"open sesame", true}, {"open", false}, {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.password);
    PasswordEvents events(c.password);
    TNetSSLContext context(&events);
    context.CertFile = pki_->Pem("client");
    context.KeyFile = pki_->Key("locked");
    if (c.loads) {
      EXPECT_NO_THROW(context.Init(TNetSSLContext::sdClient));
    } else {
      EXPECT_THROW(context.Init(TNetSSLContext::sdClient), ENetOSSLLoadingKeyError);
    }
    EXPECT_GE(events.asked, 1);
  }
}

}  // namespace
}  // namespace meridian::net
