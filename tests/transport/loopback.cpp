#include "loopback.h"

#include "net/exceptions.h"

namespace meridian::net::testing {

void Peer::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int32_t n = socket_.Send(bytes.data() + sent, static_cast<int32_t>(bytes.size() - sent), 0);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

std::string Peer::ReceiveAll() {
  std::string all;
  char block[4096];
  for (;;) {
    const int32_t n = socket_.Recv(block, sizeof block, 0);
    if (n <= 0) return all;
    all.append(block, static_cast<size_t>(n));
  }
}

std::string Peer::Receive(size_t count) {
  std::string bytes(count, '\0');
  size_t received = 0;
  while (received < count) {
    const int32_t n = socket_.Recv(bytes.data() + received, static_cast<int32_t>(count - received), 0);
    if (n <= 0) break;
    received += static_cast<size_t>(n);
  }
  bytes.resize(received);
  return bytes;
}

void Peer::Reset() {
  const TNetLinger linger{1, 0};
  socket_.SetSockOpt(kSolSocket, kSoLinger, &linger, sizeof linger);
  // Closed directly: CloseSocket would shut down for sending first, and the
  // peer would see that FIN before the reset.
  GStack->WSCloseSocket(socket_.Handle());
  socket_.Reset();
}

LoopbackServer::LoopbackServer(std::function<void(Peer&)> script, int32_t backlog, const std::string& ip,
                               int32_t port)
    : stack_keeper_(std::make_unique<TNetComponent>()) {
  listener_.AllocateSocket(kSockStream, kIpProtoIp, TNetStack::AddressFamily(ip));
  listener_.SetIP(ip);
  listener_.SetPort(port);
  if (port != 0) {
    // A port given again by the test may still hold the last connection's
    // closing state.
    const int32_t on = 1;
    listener_.SetSockOpt(kSolSocket, kSoReuseAddr, &on, sizeof on);
  }
  listener_.Bind();
  listener_.Listen(backlog);
  if (!script) return;
  thread_ = std::thread([this, script = std::move(script)] {
    try {
      // A test that fails before connecting must not hang the suite.
      if (!listener_.Readable(10000)) return;
      TNetSocketHandle accepted;
      if (!accepted.Accept(listener_.Handle())) return;
      Peer peer(accepted);
      script(peer);
    } catch (const std::exception&) {
      // The client went away early; the test reports what it expected.
    }
  });
}

LoopbackServer::~LoopbackServer() {
  if (thread_.joinable()) thread_.join();
  listener_.CloseSocket();
}

}  // namespace meridian::net::testing
