#include "transport/rfc_reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loopback.h"
#include "net/exceptions.h"
#include "rtl/exceptions.h"
#include "transport/tcp_client.h"

namespace meridian::net {
namespace {

using testing::LoopbackServer;
using testing::Peer;

std::vector<std::string> Lines(const TNetRFCReply& reply) { return reply.Text().Lines(); }

// Connects a client to a peer that sends `wire` and then waits for the
// client to close.
struct ReplyPeer {
  explicit ReplyPeer(std::string wire)
      : server([wire = std::move(wire)](Peer& peer) {
          peer.Send(wire);
          peer.ReceiveAll();
        }) {
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.Connect();
  }
  ~ReplyPeer() { client.Disconnect(); }

  LoopbackServer server;
  TNetTCPClient client;
};

TEST(TNetRFCReply, SettersKeepTheCodeAndItsTextTogether) {
  TNetRFCReply reply;
  reply.SetNumericCode(421);
  EXPECT_EQ("421", reply.TextCode());
  reply.SetNumericCode(0);  // 0 and below leave the text alone
  reply.SetNumericCode(-5);
  EXPECT_EQ("421", reply.TextCode());
  EXPECT_EQ(-5, reply.NumericCode());
  reply.SetTextCode("25");
  EXPECT_EQ(25, reply.NumericCode());
  reply.SetTextCode("OK:");
  EXPECT_EQ(0, reply.NumericCode());
  reply.SetNumericCode(7);
  reply.SetTextCode("");  // empty text leaves the code alone
  EXPECT_EQ(7, reply.NumericCode());
  EXPECT_EQ("", reply.TextCode());
}

TEST(TNetRFCReply, AssignCopiesAsStoredAndRefusesOtherKinds) {
  rtl::TStringList wire;
  wire.SetText("OK: done\r\nOK: more\r\n");
  TNetRFCReply source;
  source.ParseResponse(wire);

  TNetRFCReply target;
  target.SetNumericCode(550);
  target.Text().Add("stale");
  target.Assign(source);
  EXPECT_EQ(0, target.NumericCode());
  EXPECT_EQ("OK:", target.TextCode());
  EXPECT_EQ((std::vector<std::string>{"done", "more"}), Lines(target));

  target.Assign(target);  // must not clear itself
  EXPECT_EQ("OK:", target.TextCode());
  EXPECT_EQ(2, target.Text().Count());

  rtl::TStringList other;
  EXPECT_THROW(other.Assign(source), rtl::EAssignError);

  target.ParseResponse(rtl::TStringList());
  EXPECT_EQ(0, target.NumericCode());
  EXPECT_EQ("", target.TextCode());
  EXPECT_EQ(0, target.Text().Count());
}

TEST(TNetTCPConnection, GetResponseReadsSingleAndMultiLineReplies) {
  struct Case {
    std::string wire;
    int32_t code;
    std::string text_code;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"250-first\r\n250-second\r\n250 last\r\nnext\r\n", 250, "250", {"first", "second", "last"}},
      {"250 ok\r\nnext\r\n", 250, "250", {"ok"}},
      {"25\r\nnext\r\n", 25, "25", {""}},
      {"OK: done\r\nnext\r\n", 0, "OK:", {"done"}},
      // Blank lines are skipped and lines trimmed.
      {"\r\n \t\r\n  220 ready  \r\nnext\n", 220, "220", {"ready"}},
      // The end marker is found without regard to case, and only at the start.
      {"abc-one\r\nxyz abc two\r\nABC three\r\nnext\r\n", 0, "abc", {"one", "abc two", "three"}},
      // A continuation also ends at a line shorter than four characters.
      {"250-a\r\n250\r\nnext\r\n", 250, "250", {"a", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wire);
    ReplyPeer peer(c.wire);
    EXPECT_EQ(c.code, peer.client.GetResponse());
    const TNetRFCReply& reply = peer.client.LastCmdResult();
    EXPECT_EQ(c.code, reply.NumericCode());
    EXPECT_EQ(c.text_code, reply.TextCode());
    EXPECT_EQ(c.lines, Lines(reply));
    EXPECT_EQ("next", peer.client.ReadLn());  // nothing past the reply was taken
  }
}

TEST(TNetTCPConnection, SendCmdChecksTheReplyAgainstTheAllowedCodes) {
  std::string command;
  {
    LoopbackServer server([&command](Peer& peer) {
      peer.WaitForData();
      peer.Send("250 fine\r\n550-no such\r\n550 user\r\n550 again\r\n");
      command = peer.ReceiveAll();
    });
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.Connect();
    EXPECT_EQ(250, client.SendCmd("MAIL x", {220, 250}));
    try {
      client.GetResponse({250});
      ADD_FAILURE() << "no exception";
    } catch (const ENetProtocolReplyError& e) {
      EXPECT_EQ(550, e.ReplyErrorCode());
      EXPECT_EQ("no such\r\nuser\r\n", e.Message());
    }
    EXPECT_EQ(550, client.GetResponse());  // an empty list allows every code
    try {
      client.RaiseExceptionForLastCmdResult(ExceptionClass<ENetConnectException>());
      ADD_FAILURE() << "no exception";
    } catch (const ENetConnectException& e) {
      EXPECT_EQ("again\r\n", e.Message());
    }
    client.Disconnect();
  }  // the peer has finished here
  EXPECT_EQ("MAIL x\r\n", command);
}

TEST(TNetTCPConnection, EndlessRepliesStopAtTheLimits) {
  const std::string long_line = "250-" + std::string(16000, 'x') + "\r\n";
  const struct {
    std::string line;
    int32_t count;
  } cases[] = {
      {"250-x\r\n", TNetTCPConnection::kMaxReplyLines + 10},
      {"\r\n", TNetTCPConnection::kMaxReplyLines + 10},
      {long_line, static_cast<int32_t>(TNetTCPConnection::kMaxReplyBytes / 16000) + 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 8));
    std::string wire;
    for (int32_t i = 0; i < c.count; ++i) wire += c.line;
    ReplyPeer peer(wire);
    EXPECT_THROW(peer.client.GetResponse(), ENetReplyTooLong);
  }
}

}  // namespace
}  // namespace meridian::net
