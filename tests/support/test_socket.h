// Plain TCP sockets for the test peers (servers in a thread of their own on
// 127.0.0.1), the same on every platform. Deliberately independent of the
// library's socket stack, which is what the tests exercise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace meridian::net::testing {

// A platform socket; kNoSocket when there is none.
using TestSocket = intptr_t;
inline constexpr TestSocket kNoSocket = -1;

// Listens on 127.0.0.1 at a port the system picks, with room for `backlog`
// waiting connects; sets `port`. kNoSocket (nothing left open) when any step
// fails.
TestSocket ListenOnLoopback(int backlog, uint16_t& port);
// A blocking connect to 127.0.0.1:`port`; kNoSocket when it fails.
TestSocket ConnectToLoopback(uint16_t port);
// The next connection of `listener`; kNoSocket when accepting fails.
TestSocket AcceptConnection(TestSocket listener);

// Bytes sent (never a signal when the peer has gone) or -1.
int64_t SendBytes(TestSocket socket, const void* data, size_t size);
// Bytes received, 0 when the peer has closed, -1 on failure.
int64_t ReceiveBytes(TestSocket socket, void* buffer, size_t size);
// Sends everything; false when the peer has gone.
bool SendAll(TestSocket socket, const void* data, size_t size);

void SetNoDelay(TestSocket socket);
// Shuts both directions down (the peer sees the end of the stream).
void ShutdownSocket(TestSocket socket);
void CloseSocket(TestSocket socket);

// Waits until one of `sockets` is readable (data, a connect to accept, or the
// peer's close), at most `timeout_ms` (-1: no limit). The index of the first
// readable one; -1 on time-out or failure.
int WaitReadable(std::initializer_list<TestSocket> sockets, int timeout_ms);

// The two ends of a connected loopback pair, e.g. to wake a thread waiting
// in WaitReadable. False (nothing left open) on failure.
bool SocketPair(TestSocket& a, TestSocket& b);

// Whether a loopback connect to a listener whose accept queue is full waits
// (Linux, and Wine over it) rather than being refused at once (Windows).
bool FullAcceptQueueLeavesConnectWaiting();

// The process's open descriptors and its threads, for leak checks. On
// Windows (under Wine the counts include the emulator's own, which come and
// go) both are 0: the checks pass there without checking.
size_t OpenDescriptorCount();
size_t ThreadCount();

}  // namespace meridian::net::testing
