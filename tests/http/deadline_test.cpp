// The connection's deadline at each blocking step of a request, over real
// loopback sockets: the time-out is the behaviour under test.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "http/scripted_peer.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "support/test_socket.h"
#include "support/scripted_stream.h"

namespace meridian::net {
namespace {

using testing::ScriptedPeer;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int32_t kDeadlineMs = 600;
// Each wait alone is shorter than the deadline, and every dripping peer
// below sends more often than that: only the deadline can end these requests.
// A peer that stays silent meets no per-step time-out at all.
constexpr int32_t kReadTimeoutMs = 300;
constexpr milliseconds kDrip(40);

// A listener whose accept queue one connection fills: the kernel leaves
// every further connect unanswered.
class UnansweringListener {
 public:
  UnansweringListener() {
    listener_ = testing::ListenOnLoopback(0, port_);
    if (listener_ == testing::kNoSocket) {
      ADD_FAILURE() << "cannot listen on loopback";
      return;
    }
    filler_ = testing::ConnectToLoopback(port_);
    if (filler_ == testing::kNoSocket) ADD_FAILURE() << "cannot fill the accept queue";
  }
  ~UnansweringListener() {
    for (const testing::TestSocket socket : {filler_, listener_}) {
      if (socket != testing::kNoSocket) testing::CloseSocket(socket);
    }
  }
  UnansweringListener(const UnansweringListener&) = delete;
  UnansweringListener& operator=(const UnansweringListener&) = delete;

  int32_t Port() const { return port_; }

 private:
  testing::TestSocket listener_ = testing::kNoSocket;
  testing::TestSocket filler_ = testing::kNoSocket;
  uint16_t port_ = 0;
};

// A head, then the rest one byte at a time.
std::vector<std::string> Dripping(const std::string& head, const std::string& rest) {
  std::vector<std::string> pieces{head};
  for (const std::string& piece : ScriptedPeer::Split(rest, 1)) pieces.push_back(piece);
  return pieces;
}

// A peer that neither reads nor writes for about two seconds.
std::vector<std::string> Idle() { return std::vector<std::string>(50, std::string()); }

enum Step : uint8_t { kResolve, kConnect, kRead, kUpload };

TEST(TNetHTTPDeadline, EveryBlockingStepEndsByTheDeadlineClosedAndTyped) {
  const std::string many(400, 'a');
  const struct {
    const char* name;
    Step step;
    std::vector<std::string> pieces;
  } cases[] = {
      // The name lookup cannot be interrupted: a deadline that has passed
      // ends the connect before it starts.
      {"resolve", kResolve, {}},
      {"connect", kConnect, {}},
      {"silent head", kRead, Idle()},
      {"dripping head", kRead, Dripping("HTTP/1.1 200 OK\r\n", "X-Long: " + many)},
      {"body by length", kRead, Dripping("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n", many)},
      {"chunked body", kRead,
       Dripping("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", std::string(100, '1') + "0")},
      {"body until close", kRead, Dripping("HTTP/1.0 200 OK\r\n\r\n", many)},
      // The drain's own bound is longer than the deadline: the deadline wins
      // and the caller sees it.
      {"drain", kRead,
       Dripping("HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 1000\r\n\r\n", many)},
      {"upload", kUpload, Idle()},
  };
  for (const auto& c : cases) {
    // Where a full accept queue refuses further connects, loopback has no
    // connect that stays pending.
    if (c.step == kConnect && !testing::FullAcceptQueueLeavesConnectWaiting()) continue;
    std::optional<ScriptedPeer> peer;
    std::optional<UnansweringListener> listener;
    int32_t port = 0;
    if (c.step == kConnect) {
      port = listener.emplace().Port();
    } else {
      port = peer.emplace(c.pieces, ScriptedPeer::kClose, c.step == kRead ? kDrip : milliseconds(40)).Port();
    }
    TNetHTTP http;
    const bool silent = c.step != kRead || c.pieces.front().empty();
    http.SetReadTimeout(silent ? 0 : kReadTimeoutMs);
    http.SetHandleRedirects(true);
    rtl::TMemoryStream upload(std::string(c.step == kUpload ? 64 * 1024 * 1024 : 0, 'u'));
    rtl::TMemoryStream body;
    const std::string host = c.step == kResolve ? "localhost" : "127.0.0.1";
    const std::string url = "http://" + host + ":" + std::to_string(port) + "/";

    const auto start = Clock::now();
    http.SetDeadline(TNetDeadline::In(c.step == kResolve ? 0 : kDeadlineMs));
    bool connect_class = false;
    bool read_class = false;
    try {
      http.PerformRequest(c.step == kUpload ? hmPut : hmGet, url, c.step == kUpload ? &upload : nullptr, &body);
    } catch (const ENetConnectTimeout&) {
      connect_class = true;
    } catch (const ENetReadTimeout&) {
      read_class = true;
    } catch (const std::exception& e) {
      ADD_FAILURE() << c.name << ": " << e.what();
    }
    const auto elapsed = Clock::now() - start;

    const bool connecting = c.step == kResolve || c.step == kConnect;
    EXPECT_EQ(connecting, connect_class) << c.name;
    EXPECT_EQ(!connecting, read_class) << c.name;
    EXPECT_FALSE(http.Connected()) << c.name;
    if (c.step != kResolve) {
      EXPECT_GE(elapsed, milliseconds(kDeadlineMs - 20)) << c.name;
    }
    EXPECT_LT(elapsed, milliseconds(kDeadlineMs + 1500)) << c.name;
  }
}

// A per-step time-out keeps its meaning under a later deadline: it strikes
// first, and the deadline leaves the connection's reuse alone until it passes.
TEST(TNetHTTPDeadline, AReadTimeoutStrikesBeforeALaterDeadline) {
  ScriptedPeer peer(Idle(), ScriptedPeer::kClose, milliseconds(40));
  TNetHTTP http;
  http.SetReadTimeout(200);
  http.SetDeadline(TNetDeadline::In(5000));
  const auto start = Clock::now();
  EXPECT_THROW(http.Get("http://127.0.0.1:" + std::to_string(peer.Port()) + "/"), ENetReadTimeout);
  EXPECT_LT(Clock::now() - start, milliseconds(2000));
  EXPECT_FALSE(http.Deadline().Passed());
}

// Where timing is not the point: the deadline reaches the I/O handler, and
// once it has passed the next step fails at once, sending nothing, and closes
// a kept-alive connection.
TEST(TNetHTTPDeadline, APassedDeadlineFailsTheNextStepAtOnce) {
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi";
  testing::ScriptedStream stream({{{ok, ok}, true}});
  TNetHTTP http;
  http.SetIOHandler(&stream);
  EXPECT_EQ("hi", http.Get("http://a.test/"));
  EXPECT_FALSE(stream.Deadline().IsSet());
  EXPECT_TRUE(http.Connected());

  http.SetDeadline(TNetDeadline::In(0));
  EXPECT_TRUE(stream.Deadline().IsSet());
  const int64_t sends = stream.Operations(testing::ScriptedStream::opSend);
  EXPECT_THROW(http.Get("http://a.test/"), ENetReadTimeout);
  EXPECT_EQ(sends, stream.Operations(testing::ScriptedStream::opSend));
  EXPECT_FALSE(http.Connected());

  http.SetDeadline(TNetDeadline());
  EXPECT_FALSE(stream.Deadline().IsSet());
  http.SetIOHandler(nullptr);
}

TEST(TNetDeadline, NoneNeverPassesAndTheEarlierOfTwoWins) {
  const TNetDeadline none;
  EXPECT_FALSE(none.IsSet());
  EXPECT_FALSE(none.Passed());
  EXPECT_EQ(std::numeric_limits<int32_t>::max(), none.Left());

  const TNetDeadline passed = TNetDeadline::In(0);
  EXPECT_TRUE(passed.Passed());
  EXPECT_EQ(0, passed.Left());
  EXPECT_TRUE(TNetDeadline::In(-5).Passed());

  const TNetDeadline soon = TNetDeadline::In(10000);
  const TNetDeadline later = TNetDeadline::In(20000);
  EXPECT_EQ(soon.When(), TNetDeadline::Earlier(soon, later).When());
  EXPECT_EQ(soon.When(), TNetDeadline::Earlier(later, soon).When());
  EXPECT_EQ(soon.When(), TNetDeadline::Earlier(none, soon).When());
  EXPECT_FALSE(TNetDeadline::Earlier(none, none).IsSet());
  EXPECT_GT(soon.Left(), 9000);
  EXPECT_LE(soon.Left(), 10000);
  // Far beyond any run: capped, never wrapped into the past.
  EXPECT_FALSE(TNetDeadline::In(std::numeric_limits<int64_t>::max()).Passed());
}

}  // namespace
}  // namespace meridian::net
