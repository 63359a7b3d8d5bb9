// A scripted peer that runs inside the client's own thread: an I/O handler that
// the real TNetTCPConnection, TNetTCPClient and TNetHTTP read and write through,
// with no socket underneath.
//
//   ScriptedStream stream({{{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi"}}},
//                         Pieces::Of(1));
//   TNetHTTP http;
//   http.SetIOHandler(&stream);        // not owned: the stream outlives `http`
//   http.Get("http://a.test/");
//   stream.Sent()[0]                   // the request as the client wrote it
//
// The script is a list of connections, taken one per ConnectClient. Each holds
// the replies of the peer: the first is there as soon as the connection opens,
// each later one once the client has received everything before it and then
// sends again (its next request). After the last reply the peer closes, or
// with `close_at_end` false stays silent: a receive then ends as a read time-out
// would (ENetReadTimeout) instead of blocking. A connect beyond the script is
// refused (ENetSocketError 10061).
//
// Pieces decides how much one receive delivers: everything asked for, a fixed
// size, or sizes drawn from a seeded generator. FailAt makes the n-th connect,
// receive or send fail as a socket would (ENetSocketError 10061 for a connect,
// 10054 for a receive or send); the connection stays broken afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "transport/io_handler.h"

namespace meridian::net::testing {

// How the bytes of a reply are cut into receives.
struct Pieces {
  enum Kind : uint8_t { kWhole, kFixed, kRandom };
  Kind kind = kWhole;
  size_t size = 0;    // kFixed: bytes per receive; kRandom: the largest piece
  uint32_t seed = 0;  // kRandom

  static Pieces Whole() { return {}; }
  static Pieces Of(size_t size) { return {kFixed, size, 0}; }
  static Pieces Random(uint32_t seed, size_t largest) { return {kRandom, largest, seed}; }
  std::string Name() const;
};

struct ScriptedConnection {
  std::vector<std::string> replies;
  bool close_at_end = true;
};

class ScriptedStream : public TNetIOHandler {
 public:
  enum Operation : uint8_t { opAny, opConnect, opRecv, opSend };

  explicit ScriptedStream(std::vector<ScriptedConnection> script = {}, Pieces pieces = {});
  ~ScriptedStream() override;
  std::string ClassName() const override { return "ScriptedStream"; }

  // One connection holding `bytes` as its only reply.
  static std::vector<ScriptedConnection> Once(std::string bytes, bool close_at_end = true) {
    return {{{std::move(bytes)}, close_at_end}};
  }

  void SetPieces(Pieces pieces);
  // The `n`-th (1-based) operation of `kind` fails; opAny counts connects,
  // receives and sends together. 0: none fails.
  void FailAt(Operation kind, int64_t n);
  // Operations of `kind` so far.
  int64_t Operations(Operation kind) const;
  bool Failed() const { return failed_; }

  // What the client sent, one entry per connection opened.
  const std::vector<std::string>& Sent() const { return sent_; }
  // "host:port" of each connect, in order.
  const std::vector<std::string>& Targets() const { return targets_; }

  void ConnectClient(const std::string& host, int32_t port, const std::string& bound_ip, int32_t bound_port,
                     int32_t bound_port_min, int32_t bound_port_max, int32_t timeout) override;
  bool Connected() override { return open_; }
  void Close() override;
  bool Readable(int32_t timeout) override;
  int32_t Recv(void* buffer, int32_t length) override;
  int32_t Send(const void* buffer, int32_t length) override;

 private:
  // Counts an operation and throws when it is the one to fail.
  void Count(Operation kind, int32_t code);
  // Bytes of the current reply still to deliver.
  size_t Pending() const;
  size_t NextPiece(size_t asked);

  std::vector<ScriptedConnection> script_;
  Pieces pieces_;
  std::mt19937 random_;
  Operation fail_kind_ = opAny;
  int64_t fail_at_ = 0;
  int64_t counts_[4] = {0, 0, 0, 0};
  bool failed_ = false;

  std::vector<std::string> sent_;
  std::vector<std::string> targets_;
  size_t next_connection_ = 0;
  bool open_ = false;
  bool broken_ = false;
  const ScriptedConnection* current_ = nullptr;
  size_t reply_ = 0;     // the reply being delivered: the last one released
  size_t released_ = 0;  // replies made available so far
  size_t offset_ = 0;    // bytes of reply_ delivered
};

}  // namespace meridian::net::testing
