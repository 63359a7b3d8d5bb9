#include "transport/net_stack.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "net/exceptions.h"
#include "rtl/exceptions.h"
#include "net_stack_fixture.h"
#include "transport/socket_list.h"

namespace meridian::net {
namespace {

TEST_F(TNetStackTest, TranslatesErrorCodesToTwoLineMessages) {
  const struct {
    int32_t code;
    std::string message;
  } cases[] = {
      {10061, "Socket Error # 10061\r\nConnection refused."},
      {10004, "Socket Error # 10004\r\nInterrupted system call."},
      {10035, "Socket Error # 10035\r\nOperation would block. "},
      {10066, "Socket Error # 10066\r\nDirectory not empty"},
      {11001, "Socket Error # 11001\r\nHost not found."},
      {12345, "Socket Error # 12345\r\n"},
      {0, "Socket Error # 0\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.message, stack_.WSTranslateSocketErrorMsg(c.code)) << c.code;
  // "Host not found." is the platform stack's own addition.
  EXPECT_EQ("Socket Error # 11001\r\n", stack_.TNetStack::WSTranslateSocketErrorMsg(11001));
}

TEST_F(TNetStackTest, RaiseSocketErrorCarriesCodeAndMessage) {
  try {
    stack_.RaiseSocketError(11001);
    FAIL() << "no exception";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(11001, e.LastError());
    EXPECT_EQ("Socket Error # 11001\r\nHost not found.", e.Message());
  }
}

TEST_F(TNetStackTest, RefusedConnectRaises10061) {
  const uint16_t port = FreePort();
  Socket client(stack_, stack_.CreateSocketHandle(kSockStream));
  const int32_t result = stack_.WSConnect(client.get(), kAfInet, "127.0.0.1", port);
  EXPECT_EQ(-1, result);
  ExpectSocketError([&] { stack_.CheckForSocketError(result); }, 10061, "Socket Error # 10061\r\nConnection refused.");
}

TEST_F(TNetStackTest, CheckForSocketErrorIgnoresListedCodes) {
  uint16_t port = 0;
  Socket listener(stack_, Listen(port));
  Socket second(stack_, stack_.CreateSocketHandle(kSockStream));
  const int32_t in_use = stack_.WSBind(second.get(), kAfInet, "127.0.0.1", port);
  ASSERT_EQ(-1, in_use);
  EXPECT_TRUE(stack_.CheckForSocketError(in_use, {kWSAEINTR, kWSAEADDRINUSE}));
  EXPECT_EQ(10048, stack_.LastError());

  // A success leaves LastError as it was.
  EXPECT_FALSE(stack_.CheckForSocketError(0));
  EXPECT_FALSE(stack_.CheckForSocketError(0, {kWSAEADDRINUSE}));
  EXPECT_EQ(10048, stack_.LastError());

  // A code outside the list still raises.
  EXPECT_EQ(-1, stack_.WSBind(second.get(), kAfInet, "127.0.0.1", port));
  EXPECT_THROW(stack_.CheckForSocketError(-1, {kWSAECONNRESET}), ENetSocketError);
}

TEST_F(TNetStackTest, CreateSocketHandleRaisesWhenRefused) {
  try {
    stack_.CreateSocketHandle(12345);
    FAIL() << "no exception";
  } catch (const ENetInvalidSocket& e) {
    EXPECT_EQ("Cannot allocate socket.", e.Message());
  }
}

// Host lookups that go to the resolver are replaced here, so that no test
// sends a name query anywhere.
class LookupRecordingStack : public TPlatformStack {
 public:
  std::string WSGetHostByName(const std::string& host) override {
    looked_up.push_back(host);
    return "10.9.8.7";
  }
  std::vector<TNetAddress> WSGetHostAddresses(const std::string& host, int32_t family) override {
    looked_up.push_back(host + "/" + std::to_string(family));
    return {{kAfInet6, "2001:db8::1"}, {kAfInet, "10.9.8.7"}};
  }
  std::string WSGetHostName() override { return "localhost"; }
  std::vector<std::string> looked_up;
};

TEST(TNetStack, ResolveHostAddressesLooksUpOnlyNamesOfTheAllowedFamilies) {
  const std::vector<TNetAddress> both = {{kAfInet, "127.0.0.1"}, {kAfInet6, "::1"}};
  const std::vector<TNetAddress> answer = {{kAfInet6, "2001:db8::1"}, {kAfInet, "10.9.8.7"}};
  const struct {
    std::string host;
    TNetIPVersion version;
    std::vector<TNetAddress> expected;
    std::string looked_up;  // "host/family" handed to the resolver; empty: none
  } cases[] = {
      {"LocalHost", ivAny, both, ""},
      {"localhost", ivIPv4, {{kAfInet, "127.0.0.1"}}, ""},
      {"localhost", ivIPv6, {{kAfInet6, "::1"}}, ""},
      {"192.168.0.1", ivAny, {{kAfInet, "192.168.0.1"}}, ""},
      {"192.168.0.1", ivIPv4, {{kAfInet, "192.168.0.1"}}, ""},
      {"::1", ivAny, {{kAfInet6, "::1"}}, ""},
      {"FE80::A:1", ivIPv6, {{kAfInet6, "FE80::A:1"}}, ""},
      {"example.test", ivAny, answer, "example.test/0"},
      {"example.test", ivIPv4, answer, "example.test/2"},
      {"example.test", ivIPv6, answer, "example.test/23"},
      {"1.2.3", ivAny, answer, "1.2.3/0"},
      {"[::1]", ivAny, {{kAfInet6, "::1"}}, ""},
      {"[1.2.3.4]", ivAny, answer, "[1.2.3.4]/0"},
      {"[host]", ivAny, answer, "[host]/0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host + " " + std::to_string(c.version));
    LookupRecordingStack stack;
    EXPECT_EQ(c.expected, stack.ResolveHostAddresses(c.host, c.version));
    EXPECT_EQ(c.looked_up.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.looked_up},
              stack.looked_up);
  }
  // An address of a family that is not allowed is refused without a lookup.
  for (const auto& [host, version] : {std::pair{"127.0.0.1", ivIPv6}, std::pair{"::1", ivIPv4}}) {
    LookupRecordingStack stack;
    try {
      stack.ResolveHostAddresses(host, version);
      ADD_FAILURE() << host << ": no exception";
    } catch (const ENetSocketError& e) {
      EXPECT_EQ(kWSAEAFNOSUPPORT, e.LastError()) << host;
    }
    EXPECT_TRUE(stack.looked_up.empty());
  }
}

TEST(TNetStack, IsIPv6TakesTheColonFormAndItsBytes) {
  using Bytes = TIn6Addr;
  const Bytes loopback{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  const struct {
    const char* text;
    bool ipv6;
    Bytes bytes;
  } cases[] = {
      {"::1", true, loopback},
      {"0:0:0:0:0:0:0:1", true, loopback},
      {"::", true, {}},
      {"2001:DB8::ff00:42:8329", true, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0xff, 0, 0, 0x42, 0x83, 0x29}},
      {"1::", true, {0, 1}},
      {"1:2:3:4:5:6:7::", true, {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 0}},
      {"::ffff:10.0.0.1", true, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 1}},
      {"1:2:3:4:5:6:1.2.3.4", true, {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 1, 2, 3, 4}},
      {"1:2:3:4:5:6:7:8:9", false, {}},
      {"1:2:3:4:5:6:7", false, {}},
      {"1:2:3:4:5:6:7:8::", false, {}},
      {"1::2::3", false, {}},
      {":::", false, {}},
      {":1::", false, {}},
      {"1:", false, {}},
      {"12345::", false, {}},
      {"g::1", false, {}},
      {"1.2.3.4", false, {}},
      {"1:2:3:4:5:6:7:1.2.3.4", false, {}},
      {"::1.2.3", false, {}},
      {"[::1]", false, {}},
      {"fe80::1%eth0", false, {}},
      {"localhost", false, {}},
      {"", false, {}},
      {":", false, {}},
      {"0000:0000:0000:0000:0000:0000:0000:0000:0", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Bytes bytes{};
    EXPECT_EQ(c.ipv6, TNetStack::IsIPv6(c.text));
    EXPECT_EQ(c.ipv6, TNetStack::TranslateStringToTIn6Addr(c.text, bytes));
    if (c.ipv6) {
      EXPECT_EQ(c.bytes, bytes);
    }
    EXPECT_EQ(c.ipv6 ? kAfInet6 : TNetStack::IsIP(c.text) ? kAfInet : kAfUnspec, TNetStack::AddressFamily(c.text));
  }
}

TEST(TNetStack, ResolveHostLooksUpOnlyNames) {
  const struct {
    std::string host;
    std::string expected;
    bool looked_up;
  } cases[] = {
      {"localhost", "127.0.0.1", false},  {"LocalHost", "127.0.0.1", false},
      {"LOCALHOST", "127.0.0.1", false},  {"192.168.0.1", "192.168.0.1", false},
      {"010.0.0.1", "010.0.0.1", false},  {"192.168.0.256", "10.9.8.7", true},
      {"1.2.3", "10.9.8.7", true},        {"example.test", "10.9.8.7", true},
  };
  for (const auto& c : cases) {
    LookupRecordingStack stack;
    EXPECT_EQ(c.expected, stack.ResolveHost(c.host)) << c.host;
    EXPECT_EQ(c.looked_up ? std::vector<std::string>{c.host} : std::vector<std::string>{}, stack.looked_up) << c.host;
  }
}

TEST(TNetStack, IsIPNeedsFourDecimalBytes) {
  const struct {
    const char* text;
    bool ip;
  } cases[] = {
      {"0.0.0.0", true},      {"255.255.255.255", true}, {"010.0.0.1", true},  {"192.168.0.1", true},
      {"1.2.3", false},       {"1.2.3.4.5", false},      {"1.2.3.256", false}, {"256.1.1.1", false},
      {"1..2.3", false},      {"1.2.3.", false},         {"", false},          {"a.b.c.d", false},
      {"1.2.3.-4", false},    {"1.2.3.0x1", false},      {" 1.2.3.4", false},  {"1.2.3.4 ", false},
      {"localhost", false},   {"1.2.3.99999999999999999999", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.ip, TNetStack::IsIP(c.text)) << c.text;
}

TEST_F(TNetStackTest, TranslatesAddressesBothWays) {
  EXPECT_EQ("10.0.0.1", stack_.TranslateTInAddrToString(TInAddr{10, 0, 0, 1}));
  EXPECT_EQ("255.0.127.128", stack_.TranslateTInAddrToString(TInAddr{255, 0, 127, 128}));

  const struct {
    const char* text;
    TInAddr address;
  } cases[] = {
      {"10.0.0.1", {10, 0, 0, 1}},
      {"010.000.0.255", {10, 0, 0, 255}},
      {"1.2.3.300", {1, 2, 3, 44}},  // low 8 bits of a value above 255
  };
  for (const auto& c : cases) {
    TInAddr address{};
    stack_.TranslateStringToTInAddr(c.text, address);
    EXPECT_EQ(c.address, address) << c.text;
  }
  TInAddr address{};
  EXPECT_THROW(stack_.TranslateStringToTInAddr("1.2.x.4", address), rtl::EConvertError);
  EXPECT_THROW(stack_.TranslateStringToTInAddr("1.2.3", address), rtl::EConvertError);
}

TEST_F(TNetStackTest, ExchangesDataAndReportsNames) {
  uint16_t port = 0;
  Socket listener(stack_, Listen(port));
  Socket client(stack_, stack_.CreateSocketHandle(kSockStream));
  ASSERT_EQ(0, stack_.WSConnect(client.get(), kAfInet, stack_.ResolveHost("localhost"), port));

  std::string peer_ip;
  uint16_t peer_port = 0;
  Socket server(stack_, stack_.WSAccept(listener.get(), peer_ip, peer_port));
  ASSERT_NE(kInvalidSocket, server.get());

  int32_t family = 0;
  std::string ip;
  uint16_t local_port = 0;
  stack_.WSGetSockName(client.get(), family, ip, local_port);
  EXPECT_EQ(kAfInet, family);
  EXPECT_EQ("127.0.0.1", peer_ip);
  EXPECT_EQ(local_port, peer_port);
  stack_.WSGetPeerName(client.get(), family, ip, local_port);
  EXPECT_EQ("127.0.0.1", ip);
  EXPECT_EQ(port, local_port);

  EXPECT_EQ(5, stack_.WSSend(client.get(), "hello", 5, 0));
  char buffer[16] = {};
  EXPECT_EQ(5, stack_.WSRecv(server.get(), buffer, sizeof buffer, 0));
  EXPECT_EQ("hello", std::string(buffer, 5));

  // The peer's close reads as 0 bytes.
  client.Close();
  EXPECT_EQ(0, stack_.WSRecv(server.get(), buffer, sizeof buffer, 0));
}

TEST_F(TNetStackTest, IPv6SocketsConnectAndReportTheirNames) {
  Socket listener(stack_, stack_.CreateSocketHandle(kSockStream, kIpProtoIp, kAfInet6));
  if (stack_.WSBind(listener.get(), kAfInet6, "::1", 0) != 0) GTEST_SKIP() << "no IPv6 loopback";
  stack_.CheckForSocketError(stack_.WSListen(listener.get(), 5));
  int32_t family = 0;
  std::string ip;
  uint16_t port = 0;
  stack_.WSGetSockName(listener.get(), family, ip, port);
  EXPECT_EQ(kAfInet6, family);
  EXPECT_EQ("::1", ip);

  Socket client(stack_, stack_.CreateSocketHandle(kSockStream, kIpProtoIp, kAfInet6));
  ASSERT_EQ(0, stack_.WSConnect(client.get(), kAfInet6, "0:0::1", port));
  std::string peer_ip;
  uint16_t peer_port = 0;
  Socket server(stack_, stack_.WSAccept(listener.get(), peer_ip, peer_port));
  ASSERT_NE(kInvalidSocket, server.get());
  EXPECT_EQ("::1", peer_ip);
  stack_.WSGetPeerName(client.get(), family, ip, port);
  EXPECT_EQ(kAfInet6, family);
  EXPECT_EQ("::1", ip);
  stack_.WSGetSockName(client.get(), family, ip, port);
  EXPECT_EQ(peer_port, port);
  EXPECT_EQ(3, stack_.WSSend(client.get(), "six", 3, 0));
  char buffer[8] = {};
  EXPECT_EQ(3, stack_.WSRecv(server.get(), buffer, sizeof buffer, 0));

  // An address text of the wrong family is refused, not misread.
  Socket other(stack_, stack_.CreateSocketHandle(kSockStream, kIpProtoIp, kAfInet6));
  EXPECT_EQ(-1, stack_.WSConnect(other.get(), kAfInet6, "127.0.0.1", port));
  EXPECT_EQ(kWSAEINVAL, stack_.WSGetLastError());
}

TEST_F(TNetStackTest, NamesOfAnUnconnectedSocketRaise) {
  Socket socket(stack_, stack_.CreateSocketHandle(kSockStream));
  int32_t family = 0;
  std::string ip;
  uint16_t port = 0;
  ExpectSocketError([&] { stack_.WSGetPeerName(socket.get(), family, ip, port); }, 10057,
                    "Socket Error # 10057\r\nSocket is not connected.");
}

// A socket list without the 64-handle limit, to reach WSSelect's own check.
class UnboundedList : public TNetSocketList {
 public:
  TNetStackSocketHandle Items(int32_t index) const override { return handles[static_cast<size_t>(index)]; }
  void Add(TNetStackSocketHandle handle) override { handles.push_back(handle); }
  void Remove(TNetStackSocketHandle) override {}
  int32_t Count() const override { return static_cast<int32_t>(handles.size()); }
  void Clear() override { handles.clear(); }
  std::vector<TNetStackSocketHandle> handles;
};

TEST_F(TNetStackTest, SelectRefusesMoreThan64HandlesBeforeWaiting) {
  uint16_t port = 0;
  Socket socket(stack_, Listen(port));
  UnboundedList list;
  for (int i = 0; i < 65; ++i) list.Add(socket.get());
  try {
    stack_.WSSelect(&list, nullptr, nullptr, -2);  // would never return if it waited
    FAIL() << "no exception";
  } catch (const ENetStackSetSizeExceeded& e) {
    EXPECT_EQ("Set Size Exceeded.", e.Message());
  }
  EXPECT_EQ(65, list.Count());

  list.handles.resize(64);
  EXPECT_EQ(0, stack_.WSSelect(&list, nullptr, nullptr, 0));
}

TEST_F(TNetStackTest, SelectRefillsListsWithReadySockets) {
  std::unique_ptr<Socket> client_socket, server_socket;
  ConnectPair(client_socket, server_socket);
  Socket& client = *client_socket;
  Socket& server = *server_socket;

  auto read = TNetSocketList::CreateSocketList();
  auto write = TNetSocketList::CreateSocketList();
  read->Add(client.get());
  read->Add(server.get());
  write->Add(client.get());
  EXPECT_EQ(1, stack_.WSSelect(read.get(), write.get(), nullptr, 0));
  EXPECT_EQ(0, read->Count());
  ASSERT_EQ(1, write->Count());
  EXPECT_EQ(client.get(), write->Items(0));

  ASSERT_EQ(1, stack_.WSSend(client.get(), "x", 1, 0));
  read->Add(client.get());
  read->Add(server.get());
  EXPECT_EQ(1, stack_.WSSelect(read.get(), nullptr, nullptr, 5000));
  ASSERT_EQ(1, read->Count());
  EXPECT_EQ(server.get(), read->Items(0));

  // A handle that is no open socket fails the wait; the lists come back empty.
  client.Close();
  read->Add(server.get());
  write->Add(TNetStackSocketHandle{999999});
  EXPECT_EQ(-1, stack_.WSSelect(read.get(), write.get(), nullptr, 0));
  EXPECT_EQ(kWSAENOTSOCK, stack_.WSGetLastError());
  EXPECT_EQ(0, read->Count());
  EXPECT_EQ(0, write->Count());
}

TEST_F(TNetStackTest, SelectWaitsForItsTimeOut) {
  uint16_t port = 0;
  Socket listener(stack_, Listen(port));
  auto read = TNetSocketList::CreateSocketList();
  read->Add(listener.get());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(0, stack_.WSSelect(read.get(), nullptr, nullptr, 300));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(290));
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_EQ(0, read->Count());
}

TEST_F(TNetStackTest, NonBlockingConnectReportsRefusalThroughSocketError) {
  const uint16_t port = FreePort();
  Socket client(stack_, stack_.CreateSocketHandle(kSockStream));
  ASSERT_EQ(0, stack_.WSSetNonBlocking(client.get(), true));
  const int32_t result = stack_.WSConnect(client.get(), kAfInet, "127.0.0.1", port);
  const int32_t code = result == -1 ? stack_.WSGetLastError() : 0;
  if (code == kWSAEINPROGRESS || code == kWSAEWOULDBLOCK) {
    // The refusal makes the socket writable on POSIX and shows in the
    // exception set on WinSock: wait for either.
    auto write = TNetSocketList::CreateSocketList();
    auto error_list = TNetSocketList::CreateSocketList();
    write->Add(client.get());
    error_list->Add(client.get());
    ASSERT_GE(stack_.WSSelect(nullptr, write.get(), error_list.get(), 5000), 1);
    EXPECT_TRUE(write->Count() == 1 || error_list->Count() == 1);
    int32_t error = 0;
    int32_t length = sizeof error;
    ASSERT_EQ(0, stack_.WSGetSockOpt(client.get(), kSolSocket, kSoError, &error, length));
    EXPECT_EQ(kWSAECONNREFUSED, error);
  } else {
    // Loopback may refuse at once.
    EXPECT_EQ(-1, result);
    EXPECT_EQ(kWSAECONNREFUSED, stack_.WSGetLastError());
  }
}

TEST_F(TNetStackTest, OptionsRoundTripInWinSockNumbering) {
  Socket socket(stack_, stack_.CreateSocketHandle(kSockStream));
  const int32_t on = 1;
  ASSERT_EQ(0, stack_.WSSetSockOpt(socket.get(), kSolSocket, kSoReuseAddr, &on, sizeof on));
  int32_t value = 0;
  int32_t length = sizeof value;
  ASSERT_EQ(0, stack_.WSGetSockOpt(socket.get(), kSolSocket, kSoReuseAddr, &value, length));
  EXPECT_NE(0, value);

  const uint32_t timeout_ms = 1500;
  ASSERT_EQ(0, stack_.WSSetSockOpt(socket.get(), kSolSocket, kSoRcvTimeo, &timeout_ms, sizeof timeout_ms));
  uint32_t read_back = 0;
  length = sizeof read_back;
  ASSERT_EQ(0, stack_.WSGetSockOpt(socket.get(), kSolSocket, kSoRcvTimeo, &read_back, length));
  EXPECT_EQ(1500u, read_back);

  const TNetLinger linger{1, 7};
  ASSERT_EQ(0, stack_.WSSetSockOpt(socket.get(), kSolSocket, kSoLinger, &linger, sizeof linger));
  TNetLinger linger_back{};
  length = sizeof linger_back;
  ASSERT_EQ(0, stack_.WSGetSockOpt(socket.get(), kSolSocket, kSoLinger, &linger_back, length));
  EXPECT_EQ(1, linger_back.l_onoff);
  EXPECT_EQ(7, linger_back.l_linger);

  EXPECT_EQ(-1, stack_.WSSetSockOpt(socket.get(), kSolSocket, kSoRcvTimeo, &on, 2));
  EXPECT_EQ(kWSAEINVAL, stack_.WSGetLastError());
}

TEST(TNetStack, LocalAddressesComeFromTheHostName) {
  LookupRecordingStack stack;  // host name "localhost", resolved from the hosts file
  const std::vector<std::string>& addresses = stack.LocalAddresses();
  ASSERT_FALSE(addresses.empty());
  EXPECT_EQ("127.0.0.1", addresses.front());
  EXPECT_EQ("127.0.0.1", stack.LocalAddress());
}

TEST_F(TNetStackTest, LooksUpServices) {
  EXPECT_EQ(8080, stack_.WSGetServByName("8080"));
  EXPECT_EQ(0, stack_.WSGetServByName("0"));
  EXPECT_EQ(65535, stack_.WSGetServByName("65535"));
  for (const char* bad : {"no-such-service", "65536", "-1", ""}) {
    try {
      stack_.WSGetServByName(bad);
      ADD_FAILURE() << bad;
    } catch (const ENetInvalidServiceName& e) {
      EXPECT_EQ(std::string(bad) + " is not a valid service.", e.Message());
    }
  }
  if (!std::filesystem::exists("/etc/services")) GTEST_SKIP() << "no services database";
  EXPECT_EQ(80, stack_.WSGetServByName("http"));
  const std::vector<std::string> names = stack_.WSGetServByPort(80);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ("http", names.front());
}

TEST_F(TNetStackTest, ReverseLookupOfLoopback) {
  // Answered from the hosts file; no query leaves the machine.
  EXPECT_EQ(0u, stack_.WSGetHostByAddr("127.0.0.1").rfind("localhost", 0));
}

TEST_F(TNetStackTest, DatagramsCarryTheirSenderAddress) {
  Socket receiver(stack_, stack_.CreateSocketHandle(kSockDgram));
  stack_.CheckForSocketError(stack_.WSBind(receiver.get(), kAfInet, "127.0.0.1", 0));
  int32_t family = 0;
  std::string ip;
  uint16_t port = 0;
  stack_.WSGetSockName(receiver.get(), family, ip, port);
  Socket sender(stack_, stack_.CreateSocketHandle(kSockDgram));
  stack_.CheckForSocketError(stack_.WSBind(sender.get(), kAfInet, "", 0));
  EXPECT_EQ(4, stack_.WSSendTo(sender.get(), "ping", 4, 0, "127.0.0.1", port));

  char buffer[8] = {};
  std::string from_ip;
  uint16_t from_port = 0;
  EXPECT_EQ(4, stack_.WSRecvFrom(receiver.get(), buffer, sizeof buffer, 0, from_ip, from_port));
  EXPECT_EQ("ping", std::string(buffer, 4));
  EXPECT_EQ("127.0.0.1", from_ip);
  stack_.WSGetSockName(sender.get(), family, ip, port);
  EXPECT_EQ(port, from_port);
}

TEST_F(TNetStackTest, ByteOrderConversions) {
  EXPECT_EQ(0x3412, stack_.WSHToNs(0x1234));
  EXPECT_EQ(0x1234, stack_.WSNToHs(stack_.WSHToNs(0x1234)));
  EXPECT_EQ(0x78563412u, stack_.WSHToNL(0x12345678u));
  EXPECT_EQ(0x12345678u, stack_.WSNToHL(stack_.WSHToNL(0x12345678u)));
}

}  // namespace
}  // namespace meridian::net
