#include "transport/connection_intercept.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "loopback.h"
#include "net/exceptions.h"
#include "transport/io_handler_socket.h"
#include "transport/tcp_client.h"

namespace meridian::net {
namespace {

using testing::Latch;
using testing::LoopbackServer;
using testing::Peer;

std::string Bytes(rtl::TStream& stream) {
  std::string bytes(static_cast<size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), stream.Size());
  return bytes;
}

void Replace(rtl::TStream& stream, const std::string& bytes) {
  stream.SetSize(0);
  stream.SetPosition(0);
  stream.WriteBuffer(bytes);
}

std::string Xor(std::string bytes, char key) {
  for (char& c : bytes) c = static_cast<char>(c ^ key);
  return bytes;
}

// Encodes what is sent and decodes what is received with XOR.
void MakeXor(TNetConnectionIntercept& intercept, char key) {
  intercept.OnReceive = [key](rtl::TComponent*, rtl::TStream& s) { Replace(s, Xor(Bytes(s), key)); };
  intercept.OnSend = [key](rtl::TComponent*, rtl::TStream& s) { Replace(s, Xor(Bytes(s), key)); };
}

// Records the blocks it sees, unchanged.
struct Tap {
  explicit Tap(TNetConnectionIntercept& intercept) {
    intercept.OnReceive = [this](rtl::TComponent*, rtl::TStream& s) { received += Bytes(s); };
    intercept.OnSend = [this](rtl::TComponent*, rtl::TStream& s) { sent += Bytes(s); };
  }
  std::string received;
  std::string sent;
};

void ConnectTo(TNetTCPClient& client, const LoopbackServer& server) {
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.Connect();
}

TEST(TNetConnectionIntercept, AChainDecodesInTheReverseOrderOfEncoding) {
  std::string wire_in;
  {
    LoopbackServer server([&wire_in](Peer& peer) {
      peer.Send("data\n");
      wire_in = peer.ReceiveAll();
    });
    TNetConnectionIntercept outer;
    TNetConnectionIntercept inner;
    outer.SetIntercept(&inner);
    std::vector<std::string> log;
    // Each one marks the block, so the marks show the order the chain kept.
    auto mark = [&log](TNetConnectionIntercept& intercept, const std::string& name) {
      intercept.OnConnect = [&log, name](rtl::TComponent*) { log.push_back(name + " connect"); };
      intercept.OnDisconnect = [&log, name](rtl::TComponent*) { log.push_back(name + " disconnect"); };
      intercept.OnReceive = [&log, name](rtl::TComponent*, rtl::TStream& s) {
        log.push_back(name + " receive");
        std::string bytes = Bytes(s);
        Replace(s, bytes.insert(bytes.size() - 1, "<" + name));
      };
      intercept.OnSend = [&log, name](rtl::TComponent*, rtl::TStream& s) {
        log.push_back(name + " send");
        std::string bytes = Bytes(s);
        Replace(s, bytes.insert(bytes.size() - 1, ">" + name));
      };
    };
    mark(outer, "A");
    mark(inner, "B");

    TNetTCPClient client;
    client.SetIntercept(&outer);
    ConnectTo(client, server);
    EXPECT_EQ(&client, outer.Connection());
    EXPECT_EQ(&client, inner.Connection());
    EXPECT_EQ("data<B<A", client.ReadLn());
    client.Write("up\n");
    client.Disconnect();
    EXPECT_EQ(nullptr, outer.Connection());
    EXPECT_EQ(nullptr, inner.Connection());
    EXPECT_EQ((std::vector<std::string>{"A connect", "B connect", "B receive", "A receive", "A send", "B send",
                                        "B disconnect", "A disconnect"}),
              log);
  }
  EXPECT_EQ("up>A>B\n", wire_in);
}

TEST(TNetConnectionIntercept, ReceivedBlocksMayGrowOrVanishWithoutEndingTheConnection) {
  Latch first_block;
  LoopbackServer server([&first_block](Peer& peer) {
    peer.Send("drop");
    // The next bytes must come as a block of their own.
    if (!first_block.Wait()) return;
    peer.Send("ab\n");
    peer.ReceiveAll();
  });
  TNetConnectionIntercept intercept;
  intercept.OnReceive = [&first_block](rtl::TComponent*, rtl::TStream& s) {
    const std::string bytes = Bytes(s);
    if (bytes == "drop") {
      Replace(s, "");
      first_block.Signal();
    } else {
      Replace(s, bytes + bytes);
    }
  };
  TNetTCPClient client;
  client.SetIntercept(&intercept);
  ConnectTo(client, server);
  // A block the intercept swallowed is no close: the read goes on.
  EXPECT_EQ("ab", client.ReadLn());
  EXPECT_EQ("ab", client.ReadLn());
  EXPECT_TRUE(client.Connected());
  EXPECT_EQ(0, client.InputBuffer().Size());
  client.Disconnect();
}

TEST(TNetConnectionIntercept, LinksAreForgottenAndLoopsRefused) {
  TNetConnectionIntercept a;
  TNetConnectionIntercept b;
  a.SetIntercept(&b);
  EXPECT_THROW(b.SetIntercept(&a), ENetInterceptCircularLink);
  EXPECT_THROW(a.SetIntercept(&a), ENetInterceptCircularLink);
  EXPECT_EQ(&b, a.Intercept());
  EXPECT_EQ(nullptr, b.Intercept());
  EXPECT_TRUE(a.IsClient());

  {
    auto* c = new TNetConnectionIntercept;
    b.SetIntercept(c);
    delete c;
    EXPECT_EQ(nullptr, b.Intercept());
  }
  {
    TNetTCPConnection connection;
    a.Connect(&connection);
    EXPECT_EQ(&connection, b.Connection());
  }  // gone without a disconnect
  EXPECT_EQ(nullptr, a.Connection());
  EXPECT_EQ(nullptr, b.Connection());
  rtl::TMemoryStream block("x");
  a.Send(block);  // a chain without handlers passes blocks on unchanged
  a.Receive(block);
  EXPECT_EQ("x", block.DataString());
}

TEST(TNetConnectionIntercept, XorOnBothEndsChangesTheWireButNotTheData) {
  constexpr char kKey = 0x5A;
  LoopbackServer server(nullptr);
  std::string server_error;
  std::string wire_in;
  std::string wire_out;
  // The server end: a connection over the accepted socket, decoding with
  // XOR, with a tap nested inside that sees the bytes as they are on the wire.
  std::thread server_end([&] {
    try {
      if (!server.Listener().Readable(10000)) return;
      TNetIOHandlerSocket handler;
      handler.Open();
      if (!handler.Binding()->Accept(server.Listener().Handle())) return;
      TNetConnectionIntercept xor_intercept;
      xor_intercept.SetIsClient(false);
      MakeXor(xor_intercept, kKey);
      TNetConnectionIntercept tap_intercept;
      Tap tap(tap_intercept);
      xor_intercept.SetIntercept(&tap_intercept);
      TNetTCPConnection connection;
      connection.SetIOHandler(&handler);
      connection.SetIntercept(&xor_intercept);
      xor_intercept.Connect(&connection);
      const std::string line = connection.ReadLn();
      connection.WriteLn(line + " back");
      try {
        connection.ReadLn();  // until the client closes
      } catch (const ENetConnClosedGracefully&) {
      }
      wire_in = tap.received;
      wire_out = tap.sent;
    } catch (const std::exception& e) {
      server_error = e.what();
    }
  });

  TNetConnectionIntercept client_xor;
  MakeXor(client_xor, kKey);
  TNetTCPClient client;
  client.SetIntercept(&client_xor);
  ConnectTo(client, server);
  client.WriteLn("hello");
  EXPECT_EQ("hello back", client.ReadLn());
  client.Disconnect();
  server_end.join();

  EXPECT_EQ("", server_error);
  EXPECT_EQ(Xor("hello\r\n", kKey), wire_in);
  EXPECT_EQ(Xor("hello back\r\n", kKey), wire_out);
  EXPECT_NE("hello\r\n", wire_in);
}

}  // namespace
}  // namespace meridian::net
