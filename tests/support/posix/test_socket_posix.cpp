#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "support/test_socket.h"

namespace meridian::net::testing {

namespace {

int Fd(TestSocket socket) { return static_cast<int>(socket); }

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

}  // namespace

TestSocket ListenOnLoopback(int backlog, uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, backlog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return fd;
}

TestSocket ConnectToLoopback(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  const sockaddr_in address = Loopback(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return kNoSocket;
  }
  return fd;
}

TestSocket AcceptConnection(TestSocket listener) {
  for (;;) {
    const int fd = accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno != EINTR) return kNoSocket;
  }
}

int64_t SendBytes(TestSocket socket, const void* data, size_t size) {
  return send(Fd(socket), data, size, MSG_NOSIGNAL);
}

int64_t ReceiveBytes(TestSocket socket, void* buffer, size_t size) { return recv(Fd(socket), buffer, size, 0); }

void SetNoDelay(TestSocket socket) {
  const int one = 1;
  setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void ShutdownSocket(TestSocket socket) { shutdown(Fd(socket), SHUT_RDWR); }

void CloseSocket(TestSocket socket) { close(Fd(socket)); }

int WaitReadable(std::initializer_list<TestSocket> sockets, int timeout_ms) {
  std::vector<pollfd> entries;
  for (const TestSocket socket : sockets) entries.push_back(pollfd{Fd(socket), POLLIN, 0});
  if (poll(entries.data(), entries.size(), timeout_ms) <= 0) return -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].revents != 0) return static_cast<int>(i);
  }
  return -1;
}

bool FullAcceptQueueLeavesConnectWaiting() { return true; }

namespace {

size_t CountEntries(const char* folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

}  // namespace

size_t OpenDescriptorCount() { return CountEntries("/proc/self/fd"); }
size_t ThreadCount() { return CountEntries("/proc/self/task"); }

}  // namespace meridian::net::testing
