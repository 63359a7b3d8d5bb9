// Reading throughput of TNetTCPConnection over loopback, each figure beside a
// plain receive loop over the same bytes in the same run:
// - ReadLn of 1,000,000 short lines;
// - ReadStream of 1 GiB into a stream that discards what it is given.
// The plain loop only moves bytes; ReadLn also finds and hands out each line,
// so its share of the plain rate measures that work, not a copy of the buffer.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "rtl/streams.h"
#include "transport/net_component.h"
#include "transport/socket_handle.h"
#include "transport/tcp_client.h"

namespace {

using meridian::net::TNetSocketHandle;
using meridian::net::TNetTCPClient;

// Accepts one connection and sends `payload` `repeat` times, then closes.
class Sender {
 public:
  Sender(const std::string& payload, int64_t repeat) {
    listener_.AllocateSocket();
    listener_.SetIP("127.0.0.1");
    listener_.Bind();
    listener_.Listen(1);
    thread_ = std::thread([this, &payload, repeat] {
      TNetSocketHandle peer;
      if (!peer.Accept(listener_.Handle())) return;
      for (int64_t i = 0; i < repeat; ++i) {
        for (size_t at = 0; at < payload.size();) {
          const int32_t n = peer.Send(payload.data() + at, static_cast<int32_t>(payload.size() - at), 0);
          if (n <= 0) return;
          at += static_cast<size_t>(n);
        }
      }
      peer.CloseSocket();
    });
  }
  ~Sender() {
    thread_.join();
    listener_.CloseSocket();
  }
  int32_t Port() const { return listener_.Port(); }

 private:
  TNetSocketHandle listener_;
  std::thread thread_;
};

double Seconds(const std::function<void()>& action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Receives everything the sender sends with a bare receive loop of blocks of
// the connection's receive size. Returns the byte count.
int64_t PlainReceive(int32_t port) {
  TNetSocketHandle socket;
  socket.AllocateSocket();
  socket.SetPeer("127.0.0.1", port);
  if (socket.Connect() != 0) return -1;
  std::vector<char> block(32768);
  int64_t total = 0;
  for (;;) {
    const int32_t n = socket.Recv(block.data(), static_cast<int32_t>(block.size()), 0);
    if (n <= 0) return total;
    total += n;
  }
}

void Connect(TNetTCPClient& client, int32_t port) {
  client.SetHost("127.0.0.1");
  client.SetPort(port);
  client.Connect();
}

void Report(const char* what, double plain_seconds, double seconds, double bytes, const char* unit_name, double units) {
  std::printf("%-34s %8.3f s  %9.1f MB/s  %12.0f %s/s  (plain loop %8.3f s, %9.1f MB/s)  %5.1f%% of plain\n", what,
              seconds, bytes / seconds / 1e6, units / seconds, unit_name, plain_seconds, bytes / plain_seconds / 1e6,
              100.0 * plain_seconds / seconds);
}

// Loopback throughput on a shared machine swings from one second to the next,
// so the plain loop and the connection take turns, kRounds times each, and the
// best time of each side is compared.
constexpr int kRounds = 5;

void BenchReadLn() {
  constexpr int kLines = 1000000;
  std::string payload;
  for (int i = 0; i < kLines; ++i) payload += "line " + std::to_string(1000000 + i) + "\r\n";

  double plain = 1e9;
  double seconds = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    {
      Sender sender(payload, 1);
      plain = std::min(plain, Seconds([&] { PlainReceive(sender.Port()); }));
    }
    Sender sender(payload, 1);
    TNetTCPClient client;
    Connect(client, sender.Port());
    seconds = std::min(seconds, Seconds([&] {
                         for (int lines = 0; lines < kLines; ++lines) client.ReadLn();
                       }));
    client.Disconnect();
  }
  Report("ReadLn, 1,000,000 lines", plain, seconds, static_cast<double>(payload.size()), "lines", kLines);
}

void BenchReadStream() {
  constexpr int64_t kBlock = 1 << 20;
  constexpr int64_t kBlocks = 1024;  // 1 GiB
  const std::string payload(kBlock, 'x');

  double plain = 1e9;
  double seconds = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    {
      Sender sender(payload, kBlocks);
      plain = std::min(plain, Seconds([&] { PlainReceive(sender.Port()); }));
    }
    Sender sender(payload, kBlocks);
    TNetTCPClient client;
    Connect(client, sender.Port());
    meridian::rtl::TNullStream discard;
    seconds = std::min(seconds, Seconds([&] { client.ReadStream(discard, kBlock * kBlocks); }));
    client.Disconnect();
  }
  Report("ReadStream, 1 GiB, discarded", plain, seconds, static_cast<double>(kBlock * kBlocks), "blocks", kBlocks);
}

}  // namespace

int main() {
  meridian::net::TNetComponent stack_keeper;
  BenchReadLn();
  BenchReadStream();
  return 0;
}
