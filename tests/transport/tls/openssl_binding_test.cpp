#include "transport/tls/openssl_binding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/exceptions.h"
#include "tls_peers.h"
#include "transport/loopback.h"
#include "transport/tcp_client.h"
#include "transport/tls/ssl_context.h"
#include "transport/tls/ssl_io_handler_socket.h"

namespace meridian::net {
namespace {

using testing::LoopbackServer;
using testing::Peer;
using testing::TempFolder;

// Points the binding at a folder that holds no OpenSSL, and back at the
// build's libraries afterwards.
class TNetOpenSSLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    defaults_ = TNetOpenSSL::LibraryNames();
    TNetOpenSSL::SetLibraryNames({empty_.File("libcrypto.so.3"), empty_.File("libssl.so.3")});
  }
  void TearDown() override { TNetOpenSSL::SetLibraryNames(defaults_); }

  TempFolder empty_;
  std::vector<std::string> defaults_;
};

TEST_F(TNetOpenSSLTest, WithoutTheLibrariesATlsConnectFailsAfterTheTcpConnectAndTheNextAttemptTriesAgain) {
  ASSERT_FALSE(TNetOpenSSL::Loaded()) << "nothing loads OpenSSL before a TLS context";
  for (int attempt = 0; attempt < 2; ++attempt) {
    testing::Latch connected;
    LoopbackServer server([&](Peer& peer) {
      connected.Signal();
      peer.ReceiveAll();
    });
    TNetSSLIOHandlerSocket handler;
    TNetTCPClient client;
    client.SetIOHandler(&handler);
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    try {
      client.Connect();
      ADD_FAILURE() << "connected";
    } catch (const ENetOSSLCouldNotLoadSSLLibrary& e) {
      EXPECT_EQ("Could not load SSL library.", e.Message());
    }
    EXPECT_TRUE(connected.Wait());
    EXPECT_FALSE(TNetOpenSSL::Loaded());
    EXPECT_EQ(0, TNetOpenSSL::ContextCount());
  }
  // The libraries where the build expects them: the same road now loads.
  TNetOpenSSL::SetLibraryNames(defaults_);
  TNetSSLContext context(nullptr);
  EXPECT_TRUE(TNetOpenSSL::Loaded());
  EXPECT_EQ(1, TNetOpenSSL::ContextCount());
}

TEST_F(TNetOpenSSLTest, PassThroughWorksWithoutTheLibrariesUntilTlsIsSwitchedOn) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("plain\r\n");
    peer.ReceiveAll();
  });
  TNetSSLIOHandlerSocket handler;
  handler.SetPassThrough(true);
  TNetTCPClient client;
  client.SetIOHandler(&handler);
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.Connect();
  EXPECT_EQ("plain", client.ReadLn());
  client.WriteLn("still plain");
  try {
    handler.SetPassThrough(false);
    ADD_FAILURE() << "switched";
  } catch (const ENetOSSLCouldNotLoadSSLLibrary& e) {
    EXPECT_EQ("Could not load SSL library.", e.Message());
  }
  EXPECT_TRUE(handler.PassThrough());
}

TEST_F(TNetOpenSSLTest, ALibraryLackingARequiredEntryDoesNotLoad) {
  // The crypto library in the TLS library's place has none of the TLS entries.
  TNetOpenSSL::SetLibraryNames({defaults_.at(0), defaults_.at(0)});
  EXPECT_FALSE(TNetOpenSSL::Load());
  EXPECT_FALSE(TNetOpenSSL::Loaded());
  TNetOpenSSL::SetLibraryNames(defaults_);
  EXPECT_TRUE(TNetOpenSSL::Load());
  // The optional entries may be absent; today's library has them.
  EXPECT_NE(nullptr, OpenSSL().X509_digest);
}

}  // namespace
}  // namespace meridian::net
