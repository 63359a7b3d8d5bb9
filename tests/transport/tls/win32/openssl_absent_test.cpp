// Windows without OpenSSL: the build's library names are the Windows ones,
// a TLS connect fails cleanly after the TCP connect, and plain connections
// work without the libraries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/exceptions.h"
#include "transport/loopback.h"
#include "transport/tcp_client.h"
#include "transport/tls/openssl_binding.h"
#include "transport/tls/ssl_io_handler_socket.h"

namespace meridian::net {
namespace {

using testing::LoopbackServer;
using testing::Peer;

TEST(TNetOpenSSLWindows, LooksForTheWindowsLibraryNamesOfItsWordSize) {
  const std::vector<std::string> expected = sizeof(void*) == 8
                                                ? std::vector<std::string>{"libcrypto-3-x64.dll", "libssl-3-x64.dll"}
                                                : std::vector<std::string>{"libcrypto-3.dll", "libssl-3.dll"};
  EXPECT_EQ(expected, TNetOpenSSL::LibraryNames());
}

TEST(TNetOpenSSLWindows, WithoutTheLibrariesATlsConnectFailsCleanlyAndPlainConnectionsWork) {
  ASSERT_FALSE(TNetOpenSSL::Load()) << "the test machine has no OpenSSL DLLs";
  for (const bool pass_through : {false, true}) {
    LoopbackServer server([](Peer& peer) {
      peer.Send("plain\r\n");
      peer.ReceiveAll();
    });
    TNetSSLIOHandlerSocket handler;
    handler.SetPassThrough(pass_through);
    TNetTCPClient client;
    client.SetIOHandler(&handler);
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    if (pass_through) {
      client.Connect();
      EXPECT_EQ("plain", client.ReadLn());
      client.Disconnect();
      continue;
    }
    try {
      client.Connect();
      ADD_FAILURE() << "connected";
    } catch (const ENetOSSLCouldNotLoadSSLLibrary& e) {
      EXPECT_EQ("Could not load SSL library.", e.Message());
    }
    EXPECT_FALSE(TNetOpenSSL::Loaded());
    client.Disconnect();
  }
}

}  // namespace
}  // namespace meridian::net
