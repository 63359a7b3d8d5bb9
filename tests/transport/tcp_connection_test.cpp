#include "transport/tcp_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "net/exceptions.h"
#include "rtl/streams.h"
#include "rtl/text.h"
#include "support/scripted_stream.h"
#include "transport/connection_intercept.h"
#include "transport/io_handler.h"
#include "transport/io_handler_socket.h"
#include "transport/tcp_client.h"

namespace meridian::net {
namespace {

// An I/O handler that serves scripted blocks (each Recv returns at most one
// block) and records what is sent. With no block left it reports a close by
// the peer when `peer_closes`, else a time-out.
class ScriptedIOHandler : public TNetIOHandler {
 public:
  explicit ScriptedIOHandler(std::deque<std::string> blocks = {}, bool peer_closes = true)
      : blocks_(std::move(blocks)), peer_closes_(peer_closes) {}

  // Splits `bytes` into blocks of `size` bytes.
  static std::deque<std::string> Chunks(const std::string& bytes, size_t size) {
    std::deque<std::string> blocks;
    for (size_t at = 0; at < bytes.size(); at += size) blocks.push_back(bytes.substr(at, size));
    return blocks;
  }

  void Close() override { open_ = false; }
  bool Connected() override { return open_; }
  bool Readable(int32_t /*timeout*/) override { return !blocks_.empty() || peer_closes_; }
  int32_t Recv(void* buffer, int32_t length) override {
    if (blocks_.empty()) return 0;
    std::string& block = blocks_.front();
    const auto n = static_cast<int32_t>(std::min<size_t>(block.size(), static_cast<size_t>(length)));
    std::copy_n(block.data(), n, static_cast<char*>(buffer));
    block.erase(0, static_cast<size_t>(n));
    if (block.empty()) blocks_.pop_front();
    return n;
  }
  int32_t Send(const void* buffer, int32_t length) override {
    sends.emplace_back(static_cast<const char*>(buffer), static_cast<size_t>(length));
    return length;
  }
  void Feed(std::string block) { blocks_.push_back(std::move(block)); }

  std::vector<std::string> sends;

 private:
  std::deque<std::string> blocks_;
  bool peer_closes_;
  bool open_ = true;
};

struct Fixture {
  explicit Fixture(std::deque<std::string> blocks, bool peer_closes = true)
      : handler(std::move(blocks), peer_closes) {
    connection.SetIOHandler(&handler);
  }
  std::string Sent() const {
    std::string all;
    for (const auto& s : handler.sends) all += s;
    return all;
  }
  ScriptedIOHandler handler;
  TNetTCPConnection connection;
};

TEST(TNetTCPConnection, ReadLnFindsTerminatorsAtEverySplitPoint) {
  struct Case {
    std::string wire;
    std::string terminator;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"abc\r\ndef\n", "", {"abc", "def"}},
      {"\n\r\nx\n", "\n", {"", "", "x"}},
      {"a\rb\r\n", "\r\n", {"a\rb"}},  // a lone CR is part of the line
      {"one<END>two<END>", "<END>", {"one", "two"}},
      {"x<EN<END>", "<END>", {"x<EN"}},
  };
  for (const Case& c : cases) {
    for (const size_t block : {c.wire.size(), size_t{1}, size_t{2}, size_t{3}}) {
      SCOPED_TRACE(c.wire + " in blocks of " + std::to_string(block));
      Fixture f(ScriptedIOHandler::Chunks(c.wire, block));
      for (const std::string& line : c.lines) EXPECT_EQ(line, f.connection.ReadLn(c.terminator));
      EXPECT_EQ(0, f.connection.InputBuffer().Size());
    }
  }
}

// Every piece pattern around the sizes of the connection's buffers (its 32 KiB
// receive block, the 16 KiB line limit) and of the output buffers above it:
// 1, 4, 16, 64, 128 and 256 KiB, one less and one more, and seeded random
// splits.
std::vector<testing::Pieces> PiecesAroundBufferSizes() {
  std::vector<testing::Pieces> all = {testing::Pieces::Whole(), testing::Pieces::Random(7, 5000),
                                      testing::Pieces::Random(8, 300000)};
  for (const size_t kib : {0, 4, 16, 64, 128, 256}) {
    for (const size_t size : {kib * 1024 - 1, kib * 1024, kib * 1024 + 1}) {
      if (size >= 1 && size <= 256 * 1024 + 1) all.push_back(testing::Pieces::Of(size));
    }
  }
  return all;
}

// Bytes of every value, line ends included, from a seeded generator.
std::string Bytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// A client on a scripted peer that sends `bytes` in the given pieces and
// then closes.
struct ScriptedClient {
  ScriptedClient(std::string bytes, testing::Pieces pieces) : stream(testing::ScriptedStream::Once(std::move(bytes)), pieces) {
    client.SetIOHandler(&stream);
    client.SetHost("peer.test");
    client.SetPort(1);
    client.Connect();
  }
  testing::ScriptedStream stream;
  TNetTCPClient client;
};

TEST(TNetTCPConnection, ReadLnGivesBackEveryLineWhateverThePieces) {
  // Lines of every length around the buffer sizes, each with its own bytes
  // (no line end inside), ended by LF or CRLF in turn.
  std::vector<std::string> lines;
  std::string wire;
  uint32_t seed = 1;
  for (const size_t kib : {0, 4, 16, 32, 64, 128, 256}) {
    for (const size_t size : {kib * 1024 - 1, kib * 1024, kib * 1024 + 1}) {
      if (kib == 0 && size != 1) continue;
      std::string line = Bytes(size, seed++);
      std::replace(line.begin(), line.end(), '\n', 'n');
      std::replace(line.begin(), line.end(), '\r', 'r');
      wire += line + (lines.size() % 2 == 0 ? "\n" : "\r\n");
      lines.push_back(std::move(line));
    }
  }
  lines.emplace_back();
  wire += "\r\n";
  for (const testing::Pieces& pieces : PiecesAroundBufferSizes()) {
    SCOPED_TRACE(pieces.Name());
    ScriptedClient peer(wire, pieces);
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string line = peer.client.ReadLn("\n", -1, 0);
      ASSERT_EQ(lines[i].size(), line.size()) << "line " << i;
      ASSERT_TRUE(lines[i] == line) << "line " << i;
    }
    EXPECT_THROW(peer.client.ReadLn(), ENetConnClosedGracefully);
  }
}

TEST(TNetTCPConnection, ReadStreamGivesBackEveryByteWhateverThePieces) {
  // A line first, so that the stream also starts from bytes that wait in the
  // input buffer; then a count of bytes, or everything up to the close.
  for (const size_t kib : {0, 1, 4, 16, 32, 64, 128, 256}) {
    for (const size_t size : {kib * 1024 - 1, kib * 1024, kib * 1024 + 1}) {
      if (kib == 0 && size > 1) continue;
      const std::string body = Bytes(size, static_cast<uint32_t>(size));
      for (const bool until_close : {false, true}) {
        for (const testing::Pieces& pieces : {testing::Pieces::Of(1), testing::Pieces::Of(4097),
                                              testing::Pieces::Of(32767), testing::Pieces::Of(65537),
                                              testing::Pieces::Random(static_cast<uint32_t>(size), 70000), testing::Pieces::Whole()}) {
          if (size > 64 * 1024 && pieces.kind == testing::Pieces::kFixed && pieces.size == 1) continue;
          SCOPED_TRACE(std::to_string(size) + " bytes, " + (until_close ? "until the close, " : "counted, ") +
                       pieces.Name());
          ScriptedClient peer("head\r\n" + body + (until_close ? "" : "tail\n"), pieces);
          ASSERT_EQ("head", peer.client.ReadLn());
          rtl::TMemoryStream stream;
          if (until_close) {
            peer.client.ReadStream(stream, -1, true);
          } else {
            peer.client.ReadStream(stream, static_cast<int64_t>(size));
          }
          ASSERT_EQ(static_cast<int64_t>(size), stream.Size());
          ASSERT_TRUE(body == stream.DataString());
          if (!until_close) {
            EXPECT_EQ("tail", peer.client.ReadLn());
          }
        }
      }
    }
  }
}

TEST(TNetTCPConnection, ReadLnAfterCloseServesBufferedLinesThenRaises) {
  Fixture f({"abc\nde"});
  int disconnected_events = 0;
  std::vector<TNetStatus> statuses;
  f.connection.OnDisconnected = [&](rtl::TComponent*) { ++disconnected_events; };
  f.connection.OnStatus = [&](rtl::TComponent*, TNetStatus status, const std::string&) { statuses.push_back(status); };

  EXPECT_EQ("abc", f.connection.ReadLn());
  EXPECT_EQ("", f.connection.ReadLn());  // the peer closed mid-line
  EXPECT_TRUE(f.connection.ReadLnTimedOut());
  EXPECT_EQ(2, f.connection.InputBuffer().Size());
  EXPECT_THROW(f.connection.ReadLn(), ENetConnClosedGracefully);  // a block read ignores the buffer
  EXPECT_EQ(1, disconnected_events);
  EXPECT_EQ(std::vector<TNetStatus>{hsDisconnected}, statuses);

  Fixture drained({"abc\n"});
  EXPECT_EQ("abc", drained.connection.ReadLn());
  try {
    drained.connection.ReadLn();
    ADD_FAILURE() << "no exception";
  } catch (const ENetConnClosedGracefully& e) {
    EXPECT_STREQ("Connection Closed Gracefully.", e.what());
  }
}

TEST(TNetTCPConnection, ReadLnEnforcesTheMaximumLineLength) {
  struct Case {
    std::string wire;
    int32_t max;
    TNetMaxLineAction action;
    bool raises;
    std::string line;
    bool split;
  };
  const std::string eleven = "0123456789A";
  const Case cases[] = {
      {eleven, 10, maException, true, "", false},             // no terminator yet
      {eleven + "\n", 10, maException, true, "", false},      // terminator beyond the maximum
      {eleven, 10, maSplit, false, "0123456789", true},
      {"0123456789\n", 10, maException, false, "0123456789", false},
      {std::string(100000, 'x') + "\n", 0, maException, false, std::string(100000, 'x'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wire.substr(0, 20) + " max " + std::to_string(c.max));
    Fixture f({c.wire}, /*peer_closes=*/false);
    f.connection.SetMaxLineLength(c.max);
    f.connection.SetMaxLineAction(c.action);
    if (c.raises) {
      EXPECT_THROW(f.connection.ReadLn(), ENetReadLnMaxLineLengthExceeded);
      EXPECT_EQ(static_cast<int64_t>(c.wire.size()), f.connection.InputBuffer().Size());  // nothing lost
    } else {
      EXPECT_EQ(c.line, f.connection.ReadLn());
      EXPECT_EQ(c.split, f.connection.ReadLnSplit());
    }
  }
}

TEST(TNetTCPConnection, ReadLnWaitSkipsBlankLinesAndTrims) {
  Fixture f({"\r\n  \r\n\t hello \r\n\n\nlast"});
  EXPECT_EQ("hello", f.connection.ReadLnWait());
  EXPECT_EQ("", f.connection.ReadLnWait(2));  // two blank lines use up the attempts
  EXPECT_EQ("last", f.connection.InputBuffer().Extract(4));
}

TEST(TNetTCPConnection, ReadsIntegersBuffersAndPrefixedStreams) {
  Fixture f({std::string("\x00\x00\x01\x02", 4), std::string("\x00\x00\x00\x05hel", 7), "lo!tail"});
  EXPECT_EQ(0x0102, f.connection.ReadInteger());
  rtl::TMemoryStream stream;
  f.connection.ReadStream(stream);  // 4-byte length first
  EXPECT_EQ("hello", stream.DataString());
  char three[3];
  f.connection.ReadBuffer(three, 3);
  EXPECT_EQ("!ta", std::string(three, 3));
  f.connection.ReadBuffer(nullptr, 5);  // no destination: nothing taken
  EXPECT_EQ("il", f.connection.CurrentReadBuffer());
}

TEST(TNetTCPConnection, ASCIIFilterClearsTheTopBit) {
  Fixture f({"\xC1\xE2z\n"});
  f.connection.SetASCIIFilter(true);
  EXPECT_EQ("Abz", f.connection.ReadLn());
}

// A stream that remembers the largest size it was ever given.
class SizeRecordingStream : public rtl::TMemoryStream {
 public:
  void SetSize(int64_t size) override {
    largest = std::max(largest, size);
    rtl::TMemoryStream::SetSize(size);
  }
  int64_t largest = 0;
};

TEST(TNetTCPConnection, ReadStreamDoesNotReserveWhatThePeerMerelyAnnounces) {
  // A peer announcing 2 GiB and sending 10 bytes must not make us allocate
  // 2 GiB up front.
  Fixture f({std::string("\x7F\xFF\xFF\xFF", 4) + "0123456789"});
  SizeRecordingStream stream;
  EXPECT_THROW(f.connection.ReadStream(stream), ENetConnClosedGracefully);
  EXPECT_LE(stream.largest, 64 * 1024 * 1024);
  EXPECT_EQ("0123456789", stream.DataString());  // the pre-size is undone
}

TEST(TNetTCPConnection, ReadStreamGrowsPastTheReservationForLargeCounts) {
  // 64 MiB + 3 bytes: one reservation step and a second one for the rest.
  const int64_t count = 64 * 1024 * 1024 + 3;
  std::deque<std::string> blocks;
  for (int64_t left = count; left > 0; left -= 1 << 20) blocks.emplace_back(static_cast<size_t>(std::min<int64_t>(left, 1 << 20)), 'z');
  Fixture f(std::move(blocks));
  SizeRecordingStream stream;
  f.connection.ReadStream(stream, count);
  EXPECT_EQ(count, stream.Size());
  EXPECT_EQ(count, stream.largest);
}

TEST(TNetTCPConnection, WriteBufferSendsAtTheThresholdAndOnClose) {
  Fixture f({}, false);
  f.connection.OpenWriteBuffer(1000);
  for (int i = 0; i < 10; ++i) f.connection.Write(std::string(300, static_cast<char>('a' + i)));
  EXPECT_EQ(3u, f.handler.sends.size());  // 3000 bytes buffered in all: three sends of 1000
  for (const auto& s : f.handler.sends) EXPECT_EQ(1000u, s.size());
  f.connection.CloseWriteBuffer();
  EXPECT_EQ(3u, f.handler.sends.size());  // nothing left over

  f.connection.OpenWriteBuffer();
  for (int i = 0; i < 100; ++i) f.connection.WriteLn("Header: " + std::to_string(i));
  EXPECT_EQ(3u, f.handler.sends.size());
  f.connection.CloseWriteBuffer();
  ASSERT_EQ(4u, f.handler.sends.size());
  EXPECT_EQ(0u, f.handler.sends.back().find("Header: 0\r\nHeader: 1\r\n"));
  f.connection.Write("now");
  EXPECT_EQ("now", f.handler.sends.back());
}

TEST(TNetTCPConnection, GracefulDisconnectIsNoticedOnceAndHandlersAreForgotten) {
  Fixture f({"tail"});
  int disconnected_events = 0;
  f.connection.OnDisconnected = [&](rtl::TComponent*) { ++disconnected_events; };
  f.connection.CheckForGracefulDisconnect(false);  // receives "tail"
  f.connection.CheckForGracefulDisconnect(false);  // receives the close
  EXPECT_FALSE(f.connection.Connected());
  EXPECT_TRUE(f.connection.ClosedGracefully());
  EXPECT_EQ(1, disconnected_events);
  EXPECT_NO_THROW(f.connection.CheckForDisconnect(true, false));  // bytes are still buffered
  EXPECT_THROW(f.connection.CheckForDisconnect(true, true), ENetConnClosedGracefully);
  f.connection.Disconnect();
  EXPECT_EQ(2, disconnected_events);
  EXPECT_EQ(4, f.connection.InputBuffer().Size());  // a disconnect keeps what was received
  f.connection.ResetConnection();
  EXPECT_EQ(0, f.connection.InputBuffer().Size());

  TNetTCPConnection connection;
  auto* handler = new ScriptedIOHandler({"x"});
  connection.SetIOHandler(handler);
  EXPECT_EQ(nullptr, connection.Socket());  // not a socket I/O handler
  delete handler;
  EXPECT_EQ(nullptr, connection.IOHandler());
  EXPECT_THROW(connection.ReadLn(), ENetNotConnected);
}

// The connection ends, at Disconnect or when another handler is set, only an
// I/O handler on its own component list; any other stays usable.
TEST(TNetTCPConnection, EndsOnlyTheIOHandlerItOwns) {
  TNetTCPConnection connection;
  const size_t components = connection.ComponentCount();

  TNetIOHandlerSocket* own = rtl::MakeOwned<TNetIOHandlerSocket>(connection);
  connection.SetIOHandler(own);
  EXPECT_TRUE(connection.FreeIOHandlerOnDisconnect());
  EXPECT_EQ(own, connection.Socket());
  connection.Disconnect();
  EXPECT_EQ(nullptr, connection.IOHandler());
  EXPECT_EQ(nullptr, connection.Socket());
  EXPECT_EQ(components, connection.ComponentCount());

  rtl::TComponent other_owner;
  TNetIOHandlerSocket outside;
  TNetIOHandlerSocket* owned_elsewhere = rtl::MakeOwned<TNetIOHandlerSocket>(other_owner);
  for (TNetIOHandlerSocket* handler : {&outside, owned_elsewhere}) {
    connection.SetIOHandler(handler);
    EXPECT_FALSE(connection.FreeIOHandlerOnDisconnect());
    connection.Disconnect();
    EXPECT_EQ(handler, connection.IOHandler());
  }
  EXPECT_EQ(1u, other_owner.ComponentCount());

  connection.SetIOHandler(rtl::MakeOwned<TNetIOHandlerSocket>(connection));
  connection.SetIOHandler(&outside);  // replaces and ends the owned one
  EXPECT_EQ(&outside, connection.IOHandler());
  EXPECT_EQ(components, connection.ComponentCount());
}

TEST(TNetTCPConnection, EmptyWriteNeitherSendsNorChecksTheConnection) {
  TNetTCPConnection unconnected;
  EXPECT_NO_THROW(unconnected.Write(""));
  EXPECT_THROW(unconnected.Write("x"), ENetNotConnected);
}

// A stream that claims ten bytes and yields none.
class ShortStream : public rtl::TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t, rtl::TSeekOrigin) override { return 0; }
  int64_t Size() override { return 10; }
  void SetSize(int64_t) override {}
};

TEST(TNetTCPConnection, WriteStreamFramesWorkAndCountsBytes) {
  Fixture f({}, false);
  std::vector<int64_t> work;
  f.connection.OnWorkBegin = [&](rtl::TComponent*, TWorkMode mode, int64_t max) {
    if (mode == wmWrite) work.push_back(-max);
  };
  f.connection.OnWork = [&](rtl::TComponent*, TWorkMode mode, int64_t count) {
    if (mode == wmWrite) work.push_back(count);
  };
  f.connection.SetSendBufferSize(4);
  rtl::TMemoryStream stream("0123456789");
  stream.SetPosition(8);
  f.connection.WriteStream(stream, true, true);
  EXPECT_EQ(std::string("\0\0\0\x0A", 4) + "0123456789", f.Sent());
  EXPECT_EQ((std::vector<int64_t>{-10, 4, 8, 10}), work);  // the count is outside the frame

  ShortStream short_stream;
  EXPECT_THROW(f.connection.WriteStream(short_stream), ENetNoDataToRead);
  EXPECT_THROW(f.connection.WriteFile("no-such-file.bin"), ENetFileNotFound);
}

// Doubles every received block and upper-cases what is sent.
class DoublingIntercept : public TNetConnectionIntercept {
 public:
  void Receive(rtl::TStream& block) override {
    std::string bytes(static_cast<size_t>(block.Size()), '\0');
    block.ReadBuffer(bytes.data(), block.Size());
    block.WriteBuffer(bytes);
    block.SetPosition(0);
  }
  void Send(rtl::TStream& block) override {
    std::string bytes(static_cast<size_t>(block.Size()), '\0');
    block.ReadBuffer(bytes.data(), block.Size());
    for (char& c : bytes) c = rtl::UpperChar(c);
    block.SetPosition(0);
    block.WriteBuffer(bytes + "!");
    block.SetPosition(0);
  }
};

TEST(TNetTCPConnection, InterceptSeesAndChangesEveryBlock) {
  Fixture f({"ab", "c\n"});
  auto* intercept = new DoublingIntercept;
  f.connection.SetIntercept(intercept);
  EXPECT_EQ("ababc", f.connection.ReadLn());
  EXPECT_EQ("c\n", f.connection.InputBuffer().Extract(2));  // the rest of the doubled second block
  f.connection.Write("hi");
  EXPECT_EQ("HI!", f.Sent());
  delete intercept;  // the connection forgets it
  EXPECT_EQ(nullptr, f.connection.Intercept());
  f.connection.Write("x");
  EXPECT_EQ("HI!x", f.Sent());
}

}  // namespace
}  // namespace meridian::net
