#include "support/test_socket.h"

namespace meridian::net::testing {

bool SendAll(TestSocket socket, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  size_t sent = 0;
  while (sent < size) {
    const int64_t n = SendBytes(socket, bytes + sent, size - sent);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool SocketPair(TestSocket& a, TestSocket& b) {
  uint16_t port = 0;
  const TestSocket listener = ListenOnLoopback(1, port);
  if (listener == kNoSocket) return false;
  a = ConnectToLoopback(port);
  b = a == kNoSocket ? kNoSocket : AcceptConnection(listener);
  CloseSocket(listener);
  if (b == kNoSocket) {
    if (a != kNoSocket) CloseSocket(a);
    a = kNoSocket;
    return false;
  }
  return true;
}

}  // namespace meridian::net::testing
