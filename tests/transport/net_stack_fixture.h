// The socket stack tests' fixture: the platform's stack and loopback sockets
// that close when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "net/exceptions.h"
#include "platform_stack.h"
#include "transport/net_stack.h"

namespace meridian::net {

// A socket closed when the test ends, whatever happens.
class Socket {
 public:
  Socket(TNetStack& stack, TNetStackSocketHandle handle) : stack_(stack), handle_(handle) {}
  ~Socket() {
    if (handle_ != kInvalidSocket) stack_.WSCloseSocket(handle_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  TNetStackSocketHandle get() const { return handle_; }
  void Close() {
    stack_.WSCloseSocket(handle_);
    handle_ = kInvalidSocket;
  }

 private:
  TNetStack& stack_;
  TNetStackSocketHandle handle_;
};

class TNetStackTest : public ::testing::Test {
 protected:
  // A socket listening on 127.0.0.1 at a port the system picks.
  TNetStackSocketHandle Listen(uint16_t& port) {
    const TNetStackSocketHandle handle = stack_.CreateSocketHandle(kSockStream);
    stack_.CheckForSocketError(stack_.WSBind(handle, kAfInet, "127.0.0.1", 0));
    stack_.CheckForSocketError(stack_.WSListen(handle, 5));
    int32_t family = 0;
    std::string ip;
    stack_.WSGetSockName(handle, family, ip, port);
    return handle;
  }

  // A connected pair of sockets over loopback.
  void ConnectPair(std::unique_ptr<Socket>& client, std::unique_ptr<Socket>& server) {
    uint16_t port = 0;
    Socket listener(stack_, Listen(port));
    client = std::make_unique<Socket>(stack_, stack_.CreateSocketHandle(kSockStream));
    stack_.CheckForSocketError(stack_.WSConnect(client->get(), kAfInet, "127.0.0.1", port));
    std::string ip;
    server = std::make_unique<Socket>(stack_, stack_.WSAccept(listener.get(), ip, port));
    ASSERT_NE(kInvalidSocket, server->get());
  }

  // Runs `call`, which must raise ENetSocketError with `code` and its text.
  template <typename Call>
  void ExpectSocketError(Call call, int32_t code, const std::string& message) {
    try {
      call();
      ADD_FAILURE() << "no exception";
    } catch (const ENetSocketError& e) {
      EXPECT_EQ(code, e.LastError());
      EXPECT_EQ(message, e.Message());
    }
    EXPECT_EQ(code, stack_.LastError());
  }

  // A port on which nothing listens (it was free a moment ago).
  uint16_t FreePort() {
    uint16_t port = 0;
    Socket listener(stack_, Listen(port));
    return port;
  }

  TPlatformStack stack_;
};

}  // namespace meridian::net
