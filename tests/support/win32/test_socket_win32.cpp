#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

#include "support/test_socket.h"

namespace meridian::net::testing {

namespace {

// The socket library stays started for the life of the test program.
void Start() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

SOCKET Native(TestSocket socket) { return static_cast<SOCKET>(socket); }

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

TestSocket Own(SOCKET socket) {
  return socket == INVALID_SOCKET ? kNoSocket : static_cast<TestSocket>(socket);
}

}  // namespace

TestSocket ListenOnLoopback(int backlog, uint16_t& port) {
  Start();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  int length = sizeof address;
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, backlog) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (s != INVALID_SOCKET) closesocket(s);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return Own(s);
}

TestSocket ConnectToLoopback(uint16_t port) {
  Start();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return kNoSocket;
  const sockaddr_in address = Loopback(port);
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  return Own(s);
}

TestSocket AcceptConnection(TestSocket listener) { return Own(accept(Native(listener), nullptr, nullptr)); }

int64_t SendBytes(TestSocket socket, const void* data, size_t size) {
  return send(Native(socket), static_cast<const char*>(data), static_cast<int>(size), 0);
}

int64_t ReceiveBytes(TestSocket socket, void* buffer, size_t size) {
  return recv(Native(socket), static_cast<char*>(buffer), static_cast<int>(size), 0);
}

void SetNoDelay(TestSocket socket) {
  const BOOL one = TRUE;
  setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

void ShutdownSocket(TestSocket socket) { shutdown(Native(socket), SD_BOTH); }

void CloseSocket(TestSocket socket) { closesocket(Native(socket)); }

int WaitReadable(std::initializer_list<TestSocket> sockets, int timeout_ms) {
  fd_set set;
  FD_ZERO(&set);
  for (const TestSocket socket : sockets) FD_SET(Native(socket), &set);
  timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  if (select(0, &set, nullptr, nullptr, timeout_ms < 0 ? nullptr : &limit) <= 0) return -1;
  int index = 0;
  for (const TestSocket socket : sockets) {
    if (FD_ISSET(Native(socket), &set)) return index;
    ++index;
  }
  return -1;
}

bool FullAcceptQueueLeavesConnectWaiting() {
  // Windows itself refuses such a connect, but the answer depends on the
  // network stack underneath (Wine's is the host's): try it.
  uint16_t port = 0;
  const TestSocket listener = ListenOnLoopback(0, port);
  if (listener == kNoSocket) return false;
  const TestSocket filler = ConnectToLoopback(port);
  const SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
  bool waiting = false;
  if (filler != kNoSocket && probe != INVALID_SOCKET) {
    u_long non_blocking = 1;
    ioctlsocket(probe, static_cast<long>(FIONBIO), &non_blocking);
    const sockaddr_in address = Loopback(port);
    if (connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        WSAGetLastError() == WSAEWOULDBLOCK) {
      fd_set written;
      fd_set failed;
      FD_ZERO(&written);
      FD_ZERO(&failed);
      FD_SET(probe, &written);
      FD_SET(probe, &failed);
      timeval limit{0, 500000};
      waiting = select(0, nullptr, &written, &failed, &limit) == 0;
    }
  }
  if (probe != INVALID_SOCKET) closesocket(probe);
  if (filler != kNoSocket) CloseSocket(filler);
  CloseSocket(listener);
  return waiting;
}

size_t OpenDescriptorCount() { return 0; }
size_t ThreadCount() { return 0; }

}  // namespace meridian::net::testing
