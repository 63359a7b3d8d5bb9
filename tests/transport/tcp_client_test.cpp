#include "transport/tcp_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "loopback.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "transport/anti_freeze.h"
#include "transport/connection_intercept.h"
#include "transport/io_handler_socket.h"
#include "transport/net_stack.h"

namespace meridian::net {
namespace {

using testing::ElapsedMs;
using testing::Latch;
using testing::LoopbackServer;
using testing::Peer;

// Every test leaves as many descriptors and threads open as it found.
class TNetTCPClientTest : public testing::LeakCheckedTest {
 protected:

  static void ConnectTo(TNetTCPClient& client, const LoopbackServer& server, int32_t timeout = -1) {
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.Connect(timeout);
  }
};

// Signals a latch when the connection receives its first block, so the peer
// can send the rest as a separate receive.
class FirstBlockSignal : public TNetConnectionIntercept {
 public:
  explicit FirstBlockSignal(Latch& latch) : latch_(latch) {}
  void Receive(rtl::TStream&) override { latch_.Signal(); }
  void Send(rtl::TStream&) override { ++sends; }
  int sends = 0;

 private:
  Latch& latch_;
};

TEST_F(TNetTCPClientTest, ReadsLinesAcrossReceivesThenReportsTheCloseOnceDrained) {
  Latch first_block;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("abc\r");
    first_block.Wait();
    peer.Send("\ndef\nghi\r\n");
    peer.Close();
  });
  TNetTCPClient client;
  FirstBlockSignal intercept(first_block);
  client.SetIntercept(&intercept);
  ConnectTo(client, server);
  EXPECT_EQ("abc", client.ReadLn("\r\n"));  // the terminator came in two receives
  EXPECT_EQ("def", client.ReadLn());
  EXPECT_EQ("ghi", client.ReadLn());
  try {
    client.ReadLn();
    ADD_FAILURE() << "no exception";
  } catch (const ENetConnClosedGracefully& e) {
    EXPECT_STREQ("Connection Closed Gracefully.", e.what());
  }
  EXPECT_FALSE(client.Connected());
  client.SetIntercept(nullptr);
}

TEST_F(TNetTCPClientTest, ReadStreamTakesBufferedBytesFirstAndReportsTheTotal) {
  Latch buffered;
  LoopbackServer server([&](Peer& peer) {
    peer.Send(std::string(30, 'a'));
    buffered.Wait();
    peer.Send(std::string(70, 'b'));
    peer.ReceiveAll();
  });
  TNetTCPClient client;
  ConnectTo(client, server);
  while (client.InputBuffer().Size() < 30) client.ReadFromStack();
  buffered.Signal();

  int64_t announced = -1;
  int64_t total = 0;
  client.OnWorkBegin = [&](rtl::TComponent*, TWorkMode, int64_t max) { announced = max; };
  client.OnWork = [&](rtl::TComponent*, TWorkMode mode, int64_t count) {
    if (mode == wmRead) total = count;
  };
  rtl::TMemoryStream stream;
  client.ReadStream(stream, 100);
  EXPECT_EQ(std::string(30, 'a') + std::string(70, 'b'), stream.DataString());
  EXPECT_EQ(100, announced);
  EXPECT_EQ(100, total);
  client.Disconnect();
}

TEST_F(TNetTCPClientTest, ReadStreamUntilCloseEndsQuietlyAtTheClose) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("hello");
    peer.Close();
  });
  TNetTCPClient client;
  int work_events = 0;
  client.OnWork = [&](rtl::TComponent*, TWorkMode, int64_t) { ++work_events; };
  ConnectTo(client, server);
  rtl::TMemoryStream stream;
  client.ReadStream(stream, -1, true);
  EXPECT_EQ("hello", stream.DataString());
  EXPECT_EQ(0, work_events);  // taken at the close by emptying the buffer
  EXPECT_EQ(0, client.InputBuffer().Size());
}

TEST_F(TNetTCPClientTest, CloseDuringACountedReadRaisesAndKeepsTheBytes) {
  LoopbackServer server([](Peer& peer) {
    peer.Send(std::string(40, 'x'));
    peer.Close();
  });
  TNetTCPClient client;
  ConnectTo(client, server);
  rtl::TMemoryStream stream("ab");
  stream.SetPosition(2);
  EXPECT_THROW(client.ReadStream(stream, 100), ENetConnClosedGracefully);
  EXPECT_EQ(40, client.InputBuffer().Size());
  EXPECT_EQ("ab", stream.DataString());  // the pre-size is undone
}

TEST_F(TNetTCPClientTest, BufferedHeadLeavesInOneSend) {
  std::string received;
  std::string expected;
  {
    LoopbackServer server([&](Peer& peer) { received = peer.ReceiveAll(); });
    Latch unused;
    FirstBlockSignal counter(unused);
    TNetTCPClient client;
    client.SetIntercept(&counter);
    ConnectTo(client, server);
    client.OpenWriteBuffer();
    for (int i = 0; i < 100; ++i) {
      client.WriteLn("X-Line-" + std::to_string(i) + ": value");
      expected += "X-Line-" + std::to_string(i) + ": value\r\n";
    }
    EXPECT_EQ(0, counter.sends);
    client.CloseWriteBuffer();
    EXPECT_EQ(1, counter.sends);  // every block to send passes the intercept
    client.Disconnect();
  }  // the server has read everything once it is gone
  EXPECT_EQ(expected, received);
}

TEST_F(TNetTCPClientTest, ReadTimeoutLeavesTheConnectionUsable) {
  Latch go;
  LoopbackServer server([&](Peer& peer) {
    go.Wait();
    peer.Send("late\n");
    peer.ReceiveAll();
  });
  TNetTCPClient client;
  client.SetReadTimeout(200);
  ConnectTo(client, server);
  const int64_t waited = ElapsedMs([&] {
    try {
      client.ReadLn();
      ADD_FAILURE() << "no exception";
    } catch (const ENetReadTimeout& e) {
      EXPECT_STREQ("Read Timeout", e.what());
    }
  });
  EXPECT_GE(waited, 150);
  EXPECT_LT(waited, 5000);
  EXPECT_EQ("", client.ReadLn("\n", 20));  // an explicit time-out does not raise
  EXPECT_TRUE(client.ReadLnTimedOut());
  EXPECT_TRUE(client.Connected());
  go.Signal();
  EXPECT_EQ("late", client.ReadLn());
  client.Disconnect();
}

TEST_F(TNetTCPClientTest, ResetConnectionRaisesOnReadAndClosesOnWrite) {
  LoopbackServer server([&](Peer& peer) {
    peer.Send("line\nrest");
    peer.WaitForData();
    peer.Reset();  // over unread bytes, as an aborting peer would
  });
  TNetTCPClient client;
  ConnectTo(client, server);
  while (client.InputBuffer().Size() < 9) client.ReadFromStack();
  client.Write("unread");
  EXPECT_EQ("line", client.ReadLn());
  try {
    client.ReadLn();
    ADD_FAILURE() << "no exception";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(kWSAECONNRESET, e.LastError());
  }
  EXPECT_EQ(4, client.InputBuffer().Size());  // nothing received is lost
  EXPECT_THROW(client.Write("x"), ENetSocketError);
  EXPECT_FALSE(client.Connected());
}

TEST_F(TNetTCPClientTest, ConnectAndGetAllReturnsEverythingUntilTheClose) {
  LoopbackServer server([](Peer& peer) {
    peer.Send(std::string(100000, 'q'));
    peer.Close();
  });
  TNetTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  EXPECT_EQ(std::string(100000, 'q'), client.ConnectAndGetAll());
  EXPECT_EQ(nullptr, client.IOHandler());  // the handler it made is gone
}

TEST_F(TNetTCPClientTest, ConnectingTwiceRaisesAndLeavesTheConnectionAlone) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("ok\n");
    peer.ReceiveAll();
  });
  TNetTCPClient client;
  ConnectTo(client, server);
  try {
    client.Connect();
    ADD_FAILURE() << "no exception";
  } catch (const ENetAlreadyConnected& e) {
    EXPECT_STREQ("Already connected.", e.what());
  }
  EXPECT_EQ("ok", client.ReadLn());
  TNetSocketHandle& binding = *client.Socket()->Binding();
  EXPECT_EQ("127.0.0.1", binding.IP());
  EXPECT_NE(0, binding.Port());
  EXPECT_EQ("127.0.0.1", binding.PeerIP());
  EXPECT_EQ(server.Port(), binding.PeerPort());
  client.Disconnect();
  EXPECT_EQ(nullptr, client.IOHandler());
}

// A port on 127.0.0.1 that is bound but not listening: connecting is refused.
class RefusingPort {
 public:
  RefusingPort() {
    socket_.AllocateSocket();
    socket_.SetIP("127.0.0.1");
    socket_.Bind();
  }
  int32_t Port() const { return socket_.Port(); }

 private:
  TNetComponent stack_keeper_;
  TNetSocketHandle socket_;
};

TEST_F(TNetTCPClientTest, RefusedConnectRaisesTheSocketErrorWithOrWithoutATimeout) {
  RefusingPort refusing;
  TNetTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(refusing.Port());
  const std::string message = "Socket Error # 10061\r\nConnection refused.";
  try {
    client.Connect();
    ADD_FAILURE() << "no exception";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(kWSAECONNREFUSED, e.LastError());
    EXPECT_EQ(message, e.what());
  }
  EXPECT_FALSE(client.Connected());

  const int64_t waited = ElapsedMs([&] {
    try {
      client.Connect(5000);
      ADD_FAILURE() << "no exception";
    } catch (const ENetSocketError& e) {
      // Raised on the connect thread, it arrives unchanged.
      EXPECT_EQ(kWSAECONNREFUSED, e.LastError());
      EXPECT_EQ(message, e.what());
    }
  });
  EXPECT_LT(waited, 1000);
  EXPECT_FALSE(client.Connected());
}

TEST_F(TNetTCPClientTest, ConnectTimesOutAgainstAPeerThatNeverAnswers) {
  // A listener with a backlog of 0 that never accepts: once its queue is full
  // the platform drops further connection requests unanswered.
  LoopbackServer silent(nullptr, 0);
  std::vector<std::unique_ptr<TNetTCPClient>> fillers;
  bool queue_full = false;
  for (int i = 0; i < 16 && !queue_full; ++i) {
    auto filler = std::make_unique<TNetTCPClient>();
    try {
      ConnectTo(*filler, silent, 500);
      fillers.push_back(std::move(filler));
    } catch (const ENetConnectTimeout&) {
      queue_full = true;
    }
  }
  if (!queue_full) GTEST_SKIP() << "the platform accepts connections beyond the backlog";

  TNetTCPClient client;
  const int64_t waited = ElapsedMs([&] {
    try {
      ConnectTo(client, silent, 300);
      ADD_FAILURE() << "no exception";
    } catch (const ENetConnectTimeout& e) {
      EXPECT_STREQ("Connect timed out.", e.what());
    }
  });
  EXPECT_GE(waited, 250);
  EXPECT_LT(waited, 3000);
  EXPECT_FALSE(client.Connected());  // the socket is closed
}

// A port bound on 127.0.0.1 and ::1 alike where nothing listens, so that a
// connect to either is refused; Ready() is false without an IPv6 loopback.
class RefusingOnBoth {
 public:
  RefusingOnBoth() {
    for (int attempt = 0; attempt < 20 && !ready_; ++attempt) {
      try {
        v4_.AllocateSocket();
        v4_.SetIP("127.0.0.1");
        v4_.SetPort(0);
        v4_.Bind();
        v6_.AllocateSocket(kSockStream, kIpProtoIp, kAfInet6);
        v6_.SetIP("::1");
        v6_.SetPort(v4_.Port());
        v6_.Bind();
        ready_ = true;
      } catch (const ENetException&) {
      }
    }
  }
  bool Ready() const { return ready_; }
  int32_t Port() const { return v4_.Port(); }
  // Frees the IPv6 side for a server of the test's own.
  void ReleaseIPv6() { v6_.CloseSocket(); }

 private:
  TNetComponent stack_keeper_;
  TNetSocketHandle v4_;
  TNetSocketHandle v6_;
  bool ready_ = false;
};

// The status texts of a client's connect, from the first to "Connected."
// or the failure's message.
std::vector<std::string> ConnectStatuses(TNetTCPClient& client, const std::string& host, int32_t port,
                                         int32_t timeout = -1) {
  std::vector<std::string> texts;
  client.OnStatus = [&](rtl::TComponent*, TNetStatus, const std::string& text) { texts.push_back(text); };
  client.SetHost(host);
  client.SetPort(port);
  try {
    client.Connect(timeout);
  } catch (const ENetException& e) {
    texts.push_back(e.Message());
  }
  // The handler the client made has a copy of the handler of events.
  client.OnStatus = nullptr;
  if (client.Socket() != nullptr) client.Socket()->OnStatus = nullptr;
  if (!client.Connected()) client.Disconnect();
  return texts;
}

TEST_F(TNetTCPClientTest, TriesEachAddressOfTheHostInTurn) {
  RefusingOnBoth refusing;
  if (!refusing.Ready()) GTEST_SKIP() << "no IPv6 loopback";
  const int32_t port = refusing.Port();
  const std::string refused = "Socket Error # 10061\r\nConnection refused.";

  // Both refuse: both are tried, and the first failure is the one reported.
  TNetTCPClient client;
  EXPECT_EQ((std::vector<std::string>{"Resolving hostname localhost.", "Connecting to 127.0.0.1.",
                                      "Connecting to ::1.", refused}),
            ConnectStatuses(client, "localhost", port));
  EXPECT_FALSE(client.Connected());

  // 127.0.0.1 refuses, ::1 answers: with a blocking connect and a timed one.
  refusing.ReleaseIPv6();
  for (const int32_t timeout : {-1, 5000}) {
    SCOPED_TRACE(timeout);
    LoopbackServer server([](Peer& peer) { peer.Send("six\r\n"); }, 5, "::1", port);
    EXPECT_EQ((std::vector<std::string>{"Resolving hostname localhost.", "Connecting to 127.0.0.1.",
                                        "Connecting to ::1.", "Connected."}),
              ConnectStatuses(client, "localhost", port, timeout));
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ("six", client.ReadLn());
    EXPECT_EQ(kAfInet6, client.Socket()->Binding()->Family());
    EXPECT_EQ("::1", client.Socket()->Binding()->IP());
    client.Disconnect();
  }

  // One family only; an address of the other is refused without a connect.
  LoopbackServer listening(nullptr, 5, "::1", port);
  const struct {
    TNetIPVersion version;
    std::string host;
    std::vector<std::string> statuses;
  } cases[] = {
      {ivIPv4, "localhost", {"Resolving hostname localhost.", "Connecting to 127.0.0.1.", refused}},
      {ivIPv6, "localhost", {"Resolving hostname localhost.", "Connecting to ::1.", "Connected."}},
      {ivAny, "::1", {"Connecting to ::1.", "Connected."}},
      {ivIPv6, "127.0.0.1", {"Socket Error # 10047\r\nAddress family not supported by protocol family."}},
      {ivIPv4, "::1", {"Socket Error # 10047\r\nAddress family not supported by protocol family."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host + " " + std::to_string(c.version));
    TNetTCPClient one;
    one.SetIPVersion(c.version);
    EXPECT_EQ(c.statuses, ConnectStatuses(one, c.host, port));
    one.Disconnect();
  }
  // A bound local address keeps to its own family.
  TNetTCPClient bound;
  bound.SetBoundIP("::1");
  EXPECT_EQ((std::vector<std::string>{"Resolving hostname localhost.", "Connecting to ::1.", "Connected."}),
            ConnectStatuses(bound, "localhost", port));
  bound.Disconnect();
}

TEST_F(TNetTCPClientTest, AnAddressThatNeverAnswersLeavesTimeForTheNext) {
  // 127.0.0.1 drops connection requests (a full backlog that is never
  // accepted); ::1 at the same port answers. The connect time-out is shared:
  // the first address gets half of it.
  LoopbackServer silent(nullptr, 0);
  std::vector<std::unique_ptr<TNetTCPClient>> fillers;
  bool queue_full = false;
  for (int i = 0; i < 16 && !queue_full; ++i) {
    auto filler = std::make_unique<TNetTCPClient>();
    try {
      ConnectTo(*filler, silent, 500);
      fillers.push_back(std::move(filler));
    } catch (const ENetConnectTimeout&) {
      queue_full = true;
    }
  }
  if (!queue_full) GTEST_SKIP() << "the platform accepts connections beyond the backlog";
  std::unique_ptr<LoopbackServer> answering;
  try {
    answering = std::make_unique<LoopbackServer>([](Peer& peer) { peer.Send("late\r\n"); }, 5, "::1", silent.Port());
  } catch (const ENetException&) {
    GTEST_SKIP() << "no IPv6 loopback at that port";
  }

  TNetTCPClient client;
  std::vector<std::string> statuses;
  const int64_t waited = ElapsedMs([&] { statuses = ConnectStatuses(client, "localhost", silent.Port(), 4000); });
  EXPECT_EQ((std::vector<std::string>{"Resolving hostname localhost.", "Connecting to 127.0.0.1.",
                                      "Connecting to ::1.", "Connected."}),
            statuses);
  EXPECT_GE(waited, 1500);
  EXPECT_LT(waited, 3900);
  ASSERT_TRUE(client.Connected());
  EXPECT_EQ("late", client.ReadLn());
}

// Three consecutive local ports that are free now.
int32_t FreePortRun(TNetComponent&) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    TNetSocketHandle probe;
    probe.AllocateSocket();
    probe.Bind();
    const int32_t base = probe.Port() < 65000 ? probe.Port() : 40000 + attempt * 7;
    probe.CloseSocket();
    bool free = true;
    for (int32_t port = base; port < base + 3 && free; ++port) {
      TNetSocketHandle trial;
      trial.AllocateSocket();
      trial.SetPort(port);
      try {
        trial.Bind();
      } catch (const ENetException&) {
        free = false;
      }
    }
    if (free) return base;
  }
  return 0;
}

TEST_F(TNetTCPClientTest, PortRangesAreCheckedAndTriedFromTheTop) {
  LoopbackServer server([](Peer& peer) { peer.ReceiveAll(); });
  TNetComponent stack_keeper;
  const int32_t base = FreePortRun(stack_keeper);
  ASSERT_NE(0, base);
  std::vector<std::unique_ptr<TNetSocketHandle>> occupied;
  auto occupy = [&](int32_t port) {
    occupied.push_back(std::make_unique<TNetSocketHandle>());
    occupied.back()->AllocateSocket();
    occupied.back()->SetPort(port);
    occupied.back()->Bind();
  };

  TNetTCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetBoundPortMin(5000);
  client.SetBoundPortMax(4000);
  try {
    client.Connect();
    ADD_FAILURE() << "no exception";
  } catch (const ENetInvalidPortRange& e) {
    EXPECT_STREQ("Invalid Port Range (5000 - 4000)", e.what());
  }

  client.SetBoundPortMin(base);
  client.SetBoundPortMax(base + 2);
  occupy(base);
  occupy(base + 1);
  occupy(base + 2);
  try {
    client.Connect();
    ADD_FAILURE() << "no exception";
  } catch (const ENetCanNotBindPortInRange& e) {
    EXPECT_EQ("Can not bind in port range (" + std::to_string(base) + " - " + std::to_string(base + 2) + ")",
              e.what());
  }
  EXPECT_FALSE(client.Connected());

  occupied[1].reset();  // base + 1 is free again
  client.Connect();
  EXPECT_EQ(base + 1, client.Socket()->Binding()->Port());  // the highest free port
  client.Disconnect();
}

TEST_F(TNetTCPClientTest, StatusFollowsResolvingConnectingAndDisconnecting) {
  TNetComponent stack_keeper;
  std::string host_name = GStack->WSGetHostName();
  struct Case {
    std::string host;
    bool resolves;
  };
  std::vector<Case> cases = {{"127.0.0.1", false}, {"localhost", true}};
  try {
    if (GStack->ResolveHost(host_name).rfind("127.", 0) == 0) cases.push_back({host_name, true});
  } catch (const ENetSocketError&) {
  }
  if (cases.size() < 3) std::cout << "[  NOTE    ] the host name does not resolve to loopback; not tried\n";

  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    LoopbackServer server([](Peer& peer) { peer.ReceiveAll(); });
    TNetTCPClient client;
    std::vector<std::string> texts;
    client.OnStatus = [&](rtl::TComponent*, TNetStatus, const std::string& text) { texts.push_back(text); };
    client.SetHost(c.host);
    client.SetPort(server.Port());
    client.Connect();
    const std::string peer_ip = client.Socket()->Binding()->PeerIP();
    EXPECT_EQ(0u, peer_ip.rfind("127.", 0));
    client.Disconnect();
    std::vector<std::string> expected;
    if (c.resolves) expected.push_back("Resolving hostname " + c.host + ".");
    expected.push_back("Connecting to " + peer_ip + ".");
    expected.push_back("Connected.");
    expected.push_back("Disconnecting.");
    expected.push_back("Disconnected.");
    EXPECT_EQ(expected, texts);
  }
}

// Counts how often the transport let the user interface run.
class CountingAntiFreeze : public TNetAntiFreezeBase {
 public:
  void Process() override { ++calls; }
  int calls = 0;
};

TEST_F(TNetTCPClientTest, AntiFreezeRunsBetweenWaitsAndWhileConnecting) {
  LoopbackServer server([](Peer& peer) { peer.ReceiveAll(); });
  CountingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(40);
  TNetTCPClient client;
  ConnectTo(client, server);  // polled on a helper thread, which has ended
  client.SetReadTimeout(300);
  const int64_t waited = ElapsedMs([&] { EXPECT_THROW(client.ReadLn(), ENetReadTimeout); });
  EXPECT_GE(waited, 250);
  EXPECT_GE(anti_freeze.calls, 300 / 40);  // one call per idle wait at least
  client.Disconnect();
}

TEST_F(TNetTCPClientTest, WriteFileSendsTheWholeFile) {
  const auto path = std::filesystem::temp_directory_path() / ("meridian-write-file-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".bin");
  std::string content;
  for (int i = 0; i < 100000; ++i) content += static_cast<char>(i * 7);
  std::ofstream(path, std::ios::binary) << content;
  std::string received;
  {
    LoopbackServer server([&](Peer& peer) { received = peer.ReceiveAll(); });
    TNetTCPClient client;
    ConnectTo(client, server);
    EXPECT_EQ(static_cast<int64_t>(content.size()), client.WriteFile(path.string()));
    client.Disconnect();
  }
  std::filesystem::remove(path);
  EXPECT_EQ(content, received);
}

}  // namespace
}  // namespace meridian::net
