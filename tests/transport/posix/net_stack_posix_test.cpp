// What only the POSIX stack does: errno mapping, no SIGPIPE, descriptors.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>

#include "net_stack_fixture.h"

namespace meridian::net {
namespace {

size_t OpenDescriptorCount() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

TEST_F(TNetStackTest, MapsErrnoToWinSockNumbers) {
  const struct {
    int error;
    int32_t code;
  } cases[] = {
      {ECONNREFUSED, 10061}, {ECONNRESET, 10054},    {ETIMEDOUT, 10060}, {EADDRINUSE, 10048},
      {EADDRNOTAVAIL, 10049}, {ENETUNREACH, 10051},  {EHOSTUNREACH, 10065}, {ECONNABORTED, 10053},
      {EPIPE, 10058},        {ESHUTDOWN, 10058},     {EINTR, 10004},     {EBADF, 10009},
      {ENOTSOCK, 10038},     {EWOULDBLOCK, 10035},   {EINPROGRESS, 10036}, {EALREADY, 10037},
      {EINVAL, 10022},       {EMFILE, 10024},        {ENOTCONN, 10057},  {EISCONN, 10056},
  };
  for (const auto& c : cases) EXPECT_EQ(c.code, TNetStackPosix::MapErrno(c.error)) << c.error;
}

TEST_F(TNetStackTest, SendToAClosedPeerFailsWithoutSignal) {
  std::unique_ptr<Socket> client, server;
  ConnectPair(client, server);
  server->Close();

  // With the signal at its default action a send without protection would
  // end the process here.
  const auto previous = std::signal(SIGPIPE, SIG_DFL);
  const std::string data(4096, 'x');
  int32_t result = 0;
  for (int i = 0; i < 100 && result != -1; ++i) {
    result = stack_.WSSend(client->get(), data.data(), static_cast<int32_t>(data.size()), 0);
  }
  std::signal(SIGPIPE, previous);
  ASSERT_EQ(-1, result);
  const int32_t code = stack_.WSGetLastError();
  EXPECT_TRUE(code == kWSAESHUTDOWN || code == kWSAECONNRESET) << code;
}

TEST_F(TNetStackTest, LeavesNoDescriptorsBehind) {
  const size_t before = OpenDescriptorCount();
  for (int round = 0; round < 3; ++round) {
    std::unique_ptr<Socket> client, server;
    ConnectPair(client, server);
    EXPECT_THROW(stack_.CreateSocketHandle(kSockStream, 12345), ENetInvalidSocket);
  }
  EXPECT_EQ(before, OpenDescriptorCount());
}
}  // namespace
}  // namespace meridian::net
