// What only the WinSock stack does: its library binding and its handles.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "net_stack_fixture.h"
#include "transport/socket_list.h"

namespace meridian::net {
namespace {

TEST_F(TNetStackTest, AnEntryTheLibraryLacksRaisesTheStubErrorWithItsTitle) {
  try {
    TNetStackWindows::LibraryFunction("NoSuchWinsockFunction");
    FAIL() << "no exception";
  } catch (const ENetWS2StubError& e) {
    EXPECT_EQ("Error on call Winsock2 library function NoSuchWinsockFunction", e.Title());
    EXPECT_NE(0u, e.Win32Error());
    EXPECT_EQ(e.Title() + ": " + e.Win32ErrorText(), e.Message());
  }
  EXPECT_NE(nullptr, TNetStackWindows::LibraryFunction("select"));
}

TEST_F(TNetStackTest, HandlesAreUnsignedValuesOtherThanTheInvalidOne) {
  std::unique_ptr<Socket> client, server;
  ConnectPair(client, server);
  for (const TNetStackSocketHandle handle : {client->get(), server->get()}) {
    EXPECT_NE(kInvalidSocket, handle);
    EXPECT_GT(handle, 0);
  }
}

TEST_F(TNetStackTest, SendToAClosedPeerFails) {
  std::unique_ptr<Socket> client, server;
  ConnectPair(client, server);
  server->Close();
  const std::string data(4096, 'x');
  int32_t result = 0;
  for (int i = 0; i < 100 && result != -1; ++i) {
    result = stack_.WSSend(client->get(), data.data(), static_cast<int32_t>(data.size()), 0);
  }
  ASSERT_EQ(-1, result);
  const int32_t code = stack_.WSGetLastError();
  EXPECT_TRUE(code == kWSAESHUTDOWN || code == kWSAECONNRESET || code == kWSAECONNABORTED) << code;
}

TEST_F(TNetStackTest, EndingAPendingConnectClosesTheSocket) {
  // A shutdown leaves a WinSock connect waiting; the stack closes instead,
  // and says so, so that the caller forgets the handle rather than closing
  // it a second time.
  uint16_t port = 0;
  Socket listener(stack_, Listen(port));
  const TNetStackSocketHandle pending = stack_.CreateSocketHandle(kSockStream);
  ASSERT_EQ(0, stack_.WSSetNonBlocking(pending, true));
  stack_.WSConnect(pending, kAfInet, "127.0.0.1", port);
  EXPECT_TRUE(stack_.EndPendingConnect(pending));
  EXPECT_EQ(-1, stack_.WSCloseSocket(pending));
  EXPECT_EQ(kWSAENOTSOCK, stack_.WSGetLastError());
}

TEST_F(TNetStackTest, ARefusedNonBlockingConnectShowsInTheExceptionSet) {
  const uint16_t port = FreePort();
  Socket client(stack_, stack_.CreateSocketHandle(kSockStream));
  ASSERT_EQ(0, stack_.WSSetNonBlocking(client.get(), true));
  ASSERT_EQ(-1, stack_.WSConnect(client.get(), kAfInet, "127.0.0.1", port));
  ASSERT_EQ(kWSAEWOULDBLOCK, stack_.WSGetLastError());
  auto error_list = TNetSocketList::CreateSocketList();
  error_list->Add(client.get());
  ASSERT_EQ(1, stack_.WSSelect(nullptr, nullptr, error_list.get(), 5000));
  EXPECT_EQ(client.get(), error_list->Items(0));
}

}  // namespace
}  // namespace meridian::net
