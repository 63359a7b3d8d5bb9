#include "transport/socks/socks_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <typeindex>
#include <vector>

#include "net/exceptions.h"
#include "transport/io_handler_socket.h"
#include "transport/loopback.h"
#include "transport/tcp_client.h"

namespace meridian::net {
namespace {

using testing::LoopbackServer;
using testing::Peer;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

// Lets every receive through with at most one byte, so the handshake meets
// every split point of every reply.
class OneByteIOHandler : public TNetIOHandlerSocket {
 public:
  int32_t Recv(void* buffer, int32_t length) override {
    ++receives;
    return TNetIOHandlerSocket::Recv(buffer, std::min(length, 1));
  }
  int receives = 0;
};

// A client that reaches its target through the SOCKS proxy listening at a
// loopback port.
struct ProxiedClient {
  ProxiedClient(TSocksVersion version, int32_t proxy_port, TNetIOHandlerSocket* custom = nullptr)
      : handler(custom != nullptr ? *custom : own_handler) {
    TNetSocksInfo* socks = handler.SocksInfo();
    socks->SetVersion(version);
    socks->SetHost("127.0.0.1");
    socks->SetPort(proxy_port);
    client.SetIOHandler(&handler);
  }
  TNetSocksInfo& Socks() { return *handler.SocksInfo(); }
  void Connect(const std::string& host, int32_t port) {
    client.SetHost(host);
    client.SetPort(port);
    client.Connect();
  }

  TNetIOHandlerSocket own_handler;
  TNetIOHandlerSocket& handler;
  TNetTCPClient client;
};

struct Failure {
  std::type_index type = typeid(void);
  std::string message;
};

// Runs `connect`, which must fail with a SOCKS or transport error.
Failure FailureOf(const std::function<void()>& connect) {
  try {
    connect();
  } catch (const ENetException& e) {
    return {typeid(e), e.what()};
  }
  return {};
}

// One step of a scripted proxy: take `receive` bytes from the client, answer
// `reply`, and close when `close` is set.
struct Step {
  size_t receive;
  std::string reply;
  bool close = false;
};

// Plays `steps`, then takes whatever the client still sends until it closes.
std::function<void(Peer&)> Script(std::vector<Step> steps, std::string* leftover = nullptr) {
  return [steps = std::move(steps), leftover](Peer& peer) {
    for (const Step& step : steps) {
      peer.Receive(step.receive);
      peer.Send(step.reply);
      if (step.close) {
        peer.Close();
        return;
      }
    }
    const std::string rest = peer.ReceiveAll();
    if (leftover != nullptr) *leftover = rest;
  };
}

const std::string kGranted4 = Bytes({0, 90, 0, 0, 0, 0, 0, 0});
const std::string kTunnelLine = "through the tunnel\n";

// Every test leaves as many descriptors and threads open as it found.
class TNetSocksInfoTest : public testing::LeakCheckedTest {};

TEST_F(TNetSocksInfoTest, DefaultsAndAssignmentCopyTheSixSettings) {
  TNetSocksInfo source;
  EXPECT_EQ(svNoSocks, source.Version());
  EXPECT_EQ(saNoAuthentication, source.Authentication());
  EXPECT_EQ(1080, source.Port());
  EXPECT_EQ("", source.Host());

  TNetIOHandlerSocket handler;
  TNetSocksInfo& target = *handler.SocksInfo();
  source.SetAuthentication(saUsernamePassword);
  source.SetHost("proxy.test");
  source.SetPassword("secret");
  source.SetPort(1081);
  source.SetUsername("fred");
  source.SetVersion(svSocks5);
  target.Assign(source);
  EXPECT_EQ(saUsernamePassword, target.Authentication());
  EXPECT_EQ("proxy.test", target.Host());
  EXPECT_EQ("secret", target.Password());
  EXPECT_EQ(1081, target.Port());
  EXPECT_EQ("fred", target.Username());
  EXPECT_EQ(svSocks5, target.Version());
  EXPECT_EQ(&handler, target.IOHandler()) << "the handler reference is not copied";
}

TEST_F(TNetSocksInfoTest, NegotiateWithoutAHandlerRaisesUnlessNoProxyIsSet) {
  TNetSocksInfo socks;
  EXPECT_NO_THROW(socks.Negotiate("host.test", 80));
  socks.SetVersion(svSocks5);
  EXPECT_THROW(socks.Negotiate("host.test", 80), ENetClosedSocket);
}

TEST_F(TNetSocksInfoTest, Socks4RequestsCarryTheExactBytesAndOpenTheTunnel) {
  struct Case {
    TSocksVersion version;
    std::string user;
    std::string host;
    int32_t port;
    std::string request;
  };
  const Case cases[] = {
      {svSocks4, "", "127.0.0.1", 80, Bytes({4, 1, 0, 80, 127, 0, 0, 1, 0})},
      // A dotted address goes into the request as it is.
      {svSocks4, "", "10.20.30.40", 8080, Bytes({4, 1, 0x1f, 0x90, 10, 20, 30, 40, 0})},
      {svSocks4, "fred", "localhost", 80, Bytes({4, 1, 0, 80, 127, 0, 0, 1}) + "fred" + Bytes({0})},
      // 4A: the 11-byte name goes to the proxy unresolved, 21 bytes in all.
      {svSocks4A, "", "www.host.io", 80, Bytes({4, 1, 0, 80, 0, 0, 0, 1, 0}) + "www.host.io" + Bytes({0})},
      {svSocks4A, "fred", "10.20.30.40", 80,
       Bytes({4, 1, 0, 80, 0, 0, 0, 1}) + "fred" + Bytes({0}) + "10.20.30.40" + Bytes({0})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    std::string request;
    std::string leftover = "not reached";
    {
      LoopbackServer proxy([&](Peer& peer) {
        request = peer.Receive(c.request.size());
        peer.Send(kGranted4 + kTunnelLine);
        leftover = peer.ReceiveAll();
      });
      ProxiedClient proxied(c.version, proxy.Port());
      proxied.Socks().SetUsername(c.user);
      proxied.Connect(c.host, c.port);
      EXPECT_EQ("through the tunnel", proxied.client.ReadLn());
      proxied.client.Disconnect();
    }
    EXPECT_EQ(c.request, request);
    EXPECT_EQ("", leftover) << "more than the request was sent";
  }
}

TEST_F(TNetSocksInfoTest, Socks4RefusalsAndShortRepliesRaiseTheirExceptions) {
  struct Case {
    std::string reply;
    std::type_index type;
    std::string message;
  };
  const Case cases[] = {
      {Bytes({0, 91, 0, 0, 0, 0, 0, 0}), typeid(ENetSocksRequestFailed), "Request rejected or failed."},
      {Bytes({0, 92, 0, 0, 0, 0, 0, 0}), typeid(ENetSocksRequestServerFailed),
       "Request rejected because SOCKS server cannot connect."},
      {Bytes({0, 93, 0, 0, 0, 0, 0, 0}), typeid(ENetSocksRequestIdentFailed),
       "Request rejected because the client program and identd report different user-ids."},
      {Bytes({0, 0, 0, 0, 0, 0, 0, 0}), typeid(ENetSocksUnknownError), "Unknown socks error."},
      {Bytes({0, 94, 0, 0, 0, 0, 0, 0}), typeid(ENetSocksUnknownError), "Unknown socks error."},
      // A close before the whole reply is no reply at all.
      {"", typeid(ENetSocksServerRespondError), "Socks server did not respond."},
      {Bytes({0, 90, 0, 0, 0, 0, 0}), typeid(ENetSocksServerRespondError), "Socks server did not respond."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    LoopbackServer proxy(Script({{9, c.reply, true}}));
    ProxiedClient proxied(svSocks4, proxy.Port());
    const Failure failure = FailureOf([&] { proxied.Connect("127.0.0.1", 80); });
    EXPECT_EQ(c.type, failure.type);
    EXPECT_EQ(c.message, failure.message);
    EXPECT_FALSE(proxied.client.Connected());
  }
}

TEST_F(TNetSocksInfoTest, Socks5RepliesOfEveryAddressTypeAreReadWholeEvenByteByByte) {
  const std::string kConnect = Bytes({5, 1, 0, 3, 9}) + "host.test" + Bytes({0, 80});
  ASSERT_EQ(16u, kConnect.size());
  const std::string replies[] = {
      Bytes({5, 0, 0, 1, 10, 0, 0, 1, 0x1f, 0x90}),
      Bytes({5, 0, 0, 3, 10}) + "bound.test" + Bytes({0x1f, 0x90}),
      Bytes({5, 0, 0, 4, 0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x1f, 0x90}),
  };
  for (const bool one_byte : {false, true}) {
    for (const std::string& reply : replies) {
      SCOPED_TRACE(::testing::Message() << "address type " << int{reply[3]} << (one_byte ? ", byte by byte" : ""));
      std::string selection;
      std::string request;
      {
        LoopbackServer proxy([&](Peer& peer) {
          selection = peer.Receive(3);
          peer.Send(Bytes({5, 0}));
          request = peer.Receive(kConnect.size());
          peer.Send(reply + kTunnelLine);
          peer.ReceiveAll();
        });
        OneByteIOHandler slow;
        ProxiedClient proxied(svSocks5, proxy.Port(), one_byte ? &slow : nullptr);
        proxied.Connect("host.test", 80);
        EXPECT_EQ("through the tunnel", proxied.client.ReadLn());
        proxied.client.Disconnect();
        if (one_byte) {
          EXPECT_LE(static_cast<int>(2 + reply.size()), slow.receives);
        }
      }
      EXPECT_EQ(Bytes({5, 1, 0}), selection);
      EXPECT_EQ(kConnect, request);
    }
  }
}

TEST_F(TNetSocksInfoTest, Socks5SendsUserNameAndPasswordUpToTheirLimit) {
  struct Case {
    std::string user;
    std::string password;
    std::string host;
  };
  const Case cases[] = {
      {"fred", "secret", "10.20.30.40"},
      {std::string(255, 'u'), std::string(255, 'p'), std::string(255, 'h')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user.size());
    const std::string credentials = Bytes({1, static_cast<int>(c.user.size())}) + c.user +
                                    Bytes({static_cast<int>(c.password.size())}) + c.password;
    // Even a dotted address goes to the proxy as a name.
    const std::string connect = Bytes({5, 1, 0, 3, static_cast<int>(c.host.size())}) + c.host + Bytes({1, 187});
    std::string selection;
    std::string sent_credentials;
    std::string request;
    {
      LoopbackServer proxy([&](Peer& peer) {
        selection = peer.Receive(3);
        peer.Send(Bytes({5, 2}));
        sent_credentials = peer.Receive(credentials.size());
        peer.Send(Bytes({1, 0}));
        request = peer.Receive(connect.size());
        peer.Send(Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80}) + kTunnelLine);
        peer.ReceiveAll();
      });
      ProxiedClient proxied(svSocks5, proxy.Port());
      proxied.Socks().SetAuthentication(saUsernamePassword);
      proxied.Socks().SetUsername(c.user);
      proxied.Socks().SetPassword(c.password);
      proxied.Connect(c.host, 443);
      EXPECT_EQ("through the tunnel", proxied.client.ReadLn());
      proxied.client.Disconnect();
    }
    EXPECT_EQ(Bytes({5, 1, 2}), selection);
    EXPECT_EQ(credentials, sent_credentials);
    EXPECT_EQ(connect, request);
  }
}

TEST_F(TNetSocksInfoTest, Socks5FailuresRaiseTheirExceptions) {
  struct Case {
    std::string what;
    TSocksAuthentication authentication;
    std::vector<Step> steps;
    std::type_index type;
    std::string message;
  };
  const size_t kConnect = 5 + 9 + 2;
  const size_t kCredentials = 1 + 1 + 4 + 1 + 6;
  const std::string kAccept = Bytes({5, 0});
  std::vector<Case> cases = {
      {"closes instead of answering", saNoAuthentication, {{3, "", true}}, typeid(ENetSocksServerRespondError),
       "Socks server did not respond."},
      {"picks another method", saNoAuthentication, {{3, Bytes({5, 2})}}, typeid(ENetSocksAuthMethodError),
       "Invalid socks authentication method."},
      {"accepts no method", saUsernamePassword, {{3, Bytes({5, 255})}}, typeid(ENetSocksAuthMethodError),
       "Invalid socks authentication method."},
      {"refuses the credentials", saUsernamePassword, {{3, Bytes({5, 2})}, {kCredentials, Bytes({1, 1})}},
       typeid(ENetSocksAuthError), "Authentication error to socks server."},
      {"closes after the credentials", saUsernamePassword, {{3, Bytes({5, 2})}, {kCredentials, "", true}},
       typeid(ENetSocksServerRespondError), "Socks server did not respond."},
      {"closes within the reply head", saNoAuthentication, {{3, kAccept}, {kConnect, Bytes({5, 0, 0}), true}},
       typeid(ENetSocksServerRespondError), "Socks server did not respond."},
      {"closes within the bound name", saNoAuthentication,
       {{3, kAccept}, {kConnect, Bytes({5, 0, 0, 3, 10}) + "bound", true}}, typeid(ENetSocksServerRespondError),
       "Socks server did not respond."},
      {"unknown address type", saNoAuthentication, {{3, kAccept}, {kConnect, Bytes({5, 0, 0, 7, 0, 0, 0})}},
       typeid(ENetSocksReplyError), "Invalid reply from socks server."},
  };
  const std::pair<std::type_index, std::string> results[] = {
      {typeid(ENetSocksServerGeneralError), "General SOCKS server failure."},
      {typeid(ENetSocksServerPermissionError), "Connection not allowed by ruleset."},
      {typeid(ENetSocksServerNetUnreachableError), "Network unreachable."},
      {typeid(ENetSocksServerHostUnreachableError), "Host unreachable."},
      {typeid(ENetSocksServerConnectionRefusedError), "Connection refused."},
      {typeid(ENetSocksServerTTLExpiredError), "TTL expired."},
      {typeid(ENetSocksServerCommandError), "Command not supported."},
      {typeid(ENetSocksServerAddressError), "Address type not supported."},
      {typeid(ENetSocksUnknownError), "Unknown socks error."},
  };
  for (int code = 1; code <= 9; ++code) {
    const auto& [type, message] = results[code - 1];
    // Only the head is sent: the rest of a refusal is not read.
    cases.push_back({"result code " + std::to_string(code), saNoAuthentication,
                     {{3, kAccept}, {kConnect, Bytes({5, code, 0, 1, 0})}}, type, message});
  }
  cases.push_back({"result code 255", saNoAuthentication, {{3, kAccept}, {kConnect, Bytes({5, 255, 0, 1, 0})}},
                   typeid(ENetSocksUnknownError), "Unknown socks error."});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackServer proxy(Script(c.steps));
    ProxiedClient proxied(svSocks5, proxy.Port());
    proxied.Socks().SetAuthentication(c.authentication);
    proxied.Socks().SetUsername("fred");
    proxied.Socks().SetPassword("secret");
    const Failure failure = FailureOf([&] { proxied.Connect("host.test", 80); });
    EXPECT_EQ(c.type, failure.type);
    EXPECT_EQ(c.message, failure.message);
    EXPECT_FALSE(proxied.client.Connected());
  }
}

TEST_F(TNetSocksInfoTest, Socks5CarriesAnIPv6TargetAsItsSixteenBytes) {
  const std::string reply = Bytes({5, 0, 0, 1, 10, 0, 0, 1, 0x1f, 0x90});
  const struct {
    std::string host;
    std::string request;
  } cases[] = {
      {"::1", Bytes({5, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 80})},
      {"2001:DB8::a:1", Bytes({5, 1, 0, 4, 0x20, 1, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0a, 0, 1, 0, 80})},
      // Names and dotted addresses still go by name.
      {"10.0.0.1", Bytes({5, 1, 0, 3, 8}) + "10.0.0.1" + Bytes({0, 80})},
      {"[::1]", Bytes({5, 1, 0, 3, 5}) + "[::1]" + Bytes({0, 80})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    std::string request;
    {
      LoopbackServer proxy([&](Peer& peer) {
        peer.Receive(3);
        peer.Send(Bytes({5, 0}));
        request = peer.Receive(c.request.size());
        peer.Send(reply + kTunnelLine);
        peer.ReceiveAll();
      });
      ProxiedClient proxied(svSocks5, proxy.Port());
      proxied.Connect(c.host, 80);
      EXPECT_EQ("through the tunnel", proxied.client.ReadLn());
      proxied.client.Disconnect();
    }
    EXPECT_EQ(c.request, request);
  }
}

TEST_F(TNetSocksInfoTest, TextsTheRequestCannotCarryAreRefusedBeforeSending) {
  struct Case {
    TSocksVersion version;
    std::string user;
    std::string password;
    std::string host;
    std::string message;
  };
  const std::string long_text(256, 'x');
  const Case cases[] = {
      {svSocks5, "", "", long_text, "Host name is longer than 255 bytes."},
      {svSocks5, long_text, "secret", "host.test", "User name is longer than 255 bytes."},
      {svSocks5, "fred", long_text, "host.test", "Password is longer than 255 bytes."},
      {svSocks4, long_text, "", "127.0.0.1", "User name is longer than 255 bytes."},
      {svSocks4A, "", "", long_text, "Host name is longer than 255 bytes."},
      // SOCKS 4 ends each text with a zero byte: one inside would cut it short.
      {svSocks4, std::string("fr\0ed", 5), "", "127.0.0.1", "User name contains a zero byte."},
      {svSocks4A, "", "", std::string("host\0.test", 10), "Host name contains a zero byte."},
      // The SOCKS 4 request has room for an IPv4 address only.
      {svSocks4, "", "", "::1", "SOCKS 4 cannot reach the IPv6 address ::1."},
      {svSocks4, "fred", "", "2001:db8::1:2", "SOCKS 4 cannot reach the IPv6 address 2001:db8::1:2."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::string received = "not reached";
    {
      LoopbackServer proxy(Script({}, &received));
      ProxiedClient proxied(c.version, proxy.Port());
      proxied.Socks().SetAuthentication(c.password.empty() ? saNoAuthentication : saUsernamePassword);
      proxied.Socks().SetUsername(c.user);
      proxied.Socks().SetPassword(c.password);
      const Failure failure = FailureOf([&] { proxied.Connect(c.host, 80); });
      EXPECT_EQ(std::type_index(typeid(ENetSocksValueError)), failure.type);
      EXPECT_EQ(c.message, failure.message);
    }
    EXPECT_EQ("", received);
  }
}

TEST_F(TNetSocksInfoTest, ASilentProxyIsGivenUpAfterTheReadTimeout) {
  struct Case {
    TSocksVersion version;
    std::type_index type;
  };
  const Case cases[] = {
      {svSocks4, typeid(ENetReadTimeout)},
      {svSocks5, typeid(ENetReadTimeout)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.version));
    LoopbackServer proxy(Script({}));
    ProxiedClient proxied(c.version, proxy.Port());
    proxied.client.SetReadTimeout(300);
    Failure failure;
    const int64_t elapsed = testing::ElapsedMs([&] { failure = FailureOf([&] { proxied.Connect("127.0.0.1", 80); }); });
    EXPECT_EQ(c.type, failure.type);
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 5000);
  }
}

}  // namespace
}  // namespace meridian::net
