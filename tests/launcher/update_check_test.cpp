// The content update check against a stand-in content server on loopback.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "content_server.h"
#include "launcher/exceptions.h"
#include "launcher/form.h"
#include "launcher/launcher_state.h"
#include "platform/scratch_folder.h"
#include "rtl/exceptions.h"
#include "transport/tls/openssl_binding.h"

namespace meridian::launcher {
namespace {

using testing::OkReply;
using testing::TContentServer;
using Statements = std::vector<std::string>;

// The form with the catalogue statements recorded instead of made.
class TCheckingForm : public TfrmMeridian {
 public:
  void SetModuleUpdateFlag(const std::string& module_name, bool update_available) override {
    statements.push_back(module_name + (update_available ? "=true" : "=false"));
    if (statements.size() == fail_at) throw EDatabaseError("disk I/O error");
  }

  Statements statements;
  size_t fail_at = 0;  // the statement that fails, counting from 1; 0: none
  int32_t time_limit = 15000;

 protected:
  int32_t DownloadTimeLimit() const override { return time_limit; }
};

class CheckContentUpdates : public ::testing::Test {
 protected:
  void SetUp() override {
    AppFolder = folder_.Path() + "/";
    UpdateListName = "Update_Contents.txt";
    ServerVersions.clear();
    LocalVersions.clear();
  }
  void TearDown() override {
    AppFolder.clear();
    UpdateListName.clear();
    ServerVersions.clear();
    LocalVersions.clear();
  }

  void WriteLocalList(const std::string& text) { folder_.Write("Update_Contents.txt", text); }

  // The statements that a check against a server publishing `server_list` makes.
  Statements Check(const std::string& server_list) {
    TContentServer server(testing::sbAnswer, OkReply(server_list));
    form_.statements.clear();
    form_.CheckContentUpdates(server.BaseURL());
    EXPECT_EQ(Statements{"GET /Update/Contents/Update_Contents.txt HTTP/1.1"}, server.Requests());
    return form_.statements;
  }

  meridian::testing::TScratchFolder folder_;
  TCheckingForm form_;
};

TEST_F(CheckContentUpdates, MakesOneStatementPerMatchingPairInListOrder) {
  using namespace std::string_literals;
  const struct {
    std::string server;
    std::string local;
    Statements statements;
  } cases[] = {
      {"A.zip=1*x", "A.zip=1*x", {"A=false"}},
      {"A.zip=2*x", "A.zip=1*x", {"A=true"}},
      {"A.zip=1*x", "B.zip=1*x", {}},
      // Every matching pair counts: the last one decides the stored value.
      {"A.zip=2*x", "A.zip=1*x\nA.zip=2*x", {"A=true", "A=false"}},
      {"A.zip=1*x\nA.zip=2*x", "A.zip=2*x", {"A=true", "A=false"}},
      // Without an asterisk both versions are empty, and so equal.
      {"A.zip=1", "A.zip=1", {"A=false"}},
      {"A.zip=1", "A.zip=2", {"A=false"}},
      // Letter case and blanks count; versions are never ordered.
      {"A.ZIP=1*x", "A.zip=1*x", {}},
      {"A.zip=1.0 *x", "A.zip=1.0*x", {"A=true"}},
      {"A.zip=1.9*x", "A.zip=1.10*x", {"A=true"}},
      // The server's zero byte ends its list.
      {"A.zip=2*x\n\0B.zip=2*x\n"s, "A.zip=1*x\nB.zip=1*x", {"A=true"}},
      // The line breaks of either list do not matter.
      {"A.zip=2*x\r\nB.zip=1*y\r\n", "A.zip=1*x\nB.zip=1*y\n", {"A=true", "B=false"}},
      {"A.zip=2*x\rB.zip=1*y\r", "A.zip=1*x\r\nB.zip=1*y", {"A=true", "B=false"}},
      // Entries without a file name match each other only.
      {"=1*x\nA.zip=1*x", "=2*y", {"=true"}},
      {"A.zip.zip=1*x\nB=1*x", "A.zip.zip=1*y\nB=1*x", {"A=false", "B=false"}},
      {"", "A.zip=1*x", {}},
  };
  for (const auto& c : cases) {
    WriteLocalList(c.local);
    EXPECT_EQ(c.statements, Check(c.server)) << ::testing::PrintToString(c.server) << " / " << c.local;
  }
}

TEST_F(CheckContentUpdates, FillsServerAndLocalVersionsLineByLine) {
  WriteLocalList("A.zip=1*x\n\nB.zip=2*y");
  Check("C.zip=3*z\r\n");
  ASSERT_EQ(1u, ServerVersions.size());
  EXPECT_EQ("3", ServerVersions[0].VersionText);
  ASSERT_EQ(3u, LocalVersions.size());
  EXPECT_EQ("", LocalVersions[1].FileName);
  EXPECT_EQ("B.zip", LocalVersions[2].FileName);
}

TEST_F(CheckContentUpdates, WithoutALocalListMarksEveryServerModule) {
  EXPECT_EQ((Statements{"A=true", "B=true", "A=true"}), Check("A.zip=1*x\nB.zip=1*x\nA.zip=1*x"));
  EXPECT_EQ(Statements{}, Check(""));
  EXPECT_TRUE(LocalVersions.empty());
}

TEST_F(CheckContentUpdates, CatalogueErrorEscapesAndStopsTheStatements) {
  WriteLocalList("A.zip=1*x\nB.zip=1*x\nC.zip=1*x");
  form_.fail_at = 2;
  TContentServer server(testing::sbAnswer, OkReply("A.zip=1*x\nB.zip=1*x\nC.zip=1*x"));
  EXPECT_THROW(form_.CheckContentUpdates(server.BaseURL()), EDatabaseError);
  EXPECT_EQ((Statements{"A=false", "B=false"}), form_.statements);
}

TEST_F(CheckContentUpdates, UnreadableLocalListEscapes) {
  if (geteuid() == 0) GTEST_SKIP() << "file permissions do not hold for root";
  const std::string list = folder_.Write("Update_Contents.txt", "A.zip=1*x");
  std::filesystem::permissions(list, std::filesystem::perms::none);
  TContentServer server(testing::sbAnswer, OkReply("A.zip=1*x"));
  EXPECT_THROW(form_.CheckContentUpdates(server.BaseURL()), rtl::EFOpenError);
  EXPECT_EQ(Statements{}, form_.statements);
}

// Each failed download: no statement, no error, and the local list (which
// would give statements) is not read; each ends within the time limit.
// The launcher's plain HTTP road never touches OpenSSL: after a whole check
// no TLS context was made, the binding holds nothing and no TLS library is
// mapped into the process (the catalogue engine may bring the crypto
// library, so only the TLS one is looked for).
TEST_F(CheckContentUpdates, ThePlainRoadLoadsNoTLSLibrary) {
  WriteLocalList("A.zip=1*x");
  EXPECT_EQ(Statements{"A=true"}, Check("A.zip=2*x"));
  EXPECT_FALSE(net::TNetOpenSSL::Loaded());
  EXPECT_EQ(0, net::TNetOpenSSL::ContextCount());
  std::ifstream maps("/proc/self/maps");
  ASSERT_TRUE(maps.is_open());
  for (std::string line; std::getline(maps, line);) {
    EXPECT_EQ(std::string::npos, line.find("libssl")) << line;
  }
}

TEST_F(CheckContentUpdates, FailedDownloadChangesNothing) {
  WriteLocalList("A.zip=1*x");
  form_.time_limit = 1000;
  const std::string list = "A.zip=2*x";
  std::string refused_url;
  {
    TContentServer gone(testing::sbAnswer);
    refused_url = gone.BaseURL();
  }
  const struct {
    const char* name;
    testing::TServerBehaviour behaviour;
    std::string reply;
  } cases[] = {
      {"not found", testing::sbAnswer, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"},
      {"redirect", testing::sbAnswer, "HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n"},
      {"dropped", testing::sbAnswer, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + list},
      {"garbage", testing::sbAnswer, "SSH-2.0-x\r\n\r\n"},
      {"too large", testing::sbAnswer, OkReply(list + std::string(5 * 1024 * 1024, '\n'))},
      {"silent", testing::sbSilent, ""},
      {"dripping", testing::sbDrip, ""},
      {"unanswered connect", testing::sbNoAccept, ""},
      {"refused", testing::sbAnswer, ""},
  };
  for (const auto& c : cases) {
    TContentServer server(c.behaviour, c.reply);
    const std::string url = std::string(c.name) == "refused" ? refused_url : server.BaseURL();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(form_.CheckContentUpdates(url)) << c.name;
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(Statements{}, form_.statements) << c.name;
    EXPECT_TRUE(LocalVersions.empty()) << c.name;
    EXPECT_LT(elapsed, std::chrono::seconds(5)) << c.name;
  }
}

std::string Repeated(const std::string& text, size_t times) {
  std::string result;
  result.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) result += text;
  return result;
}

// The body as a chunked reply, in chunks of `chunk` bytes.
std::string ChunkedReply(const std::string& body, size_t chunk) {
  std::string reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  char size[32];
  for (size_t at = 0; at < body.size(); at += chunk) {
    const std::string piece = body.substr(at, chunk);
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    reply += size + piece + "\r\n";
  }
  return reply + "0\r\n\r\n";
}

// A list over 1 MiB or over 10,000 lines is a failed download, however it is
// framed; one at a bound is taken.
TEST_F(CheckContentUpdates, ListsOverTheirBoundsAreFailedDownloads) {
  using namespace std::string_literals;
  WriteLocalList("A.zip=1*x");
  const std::string line = "A.zip=2*x\n";
  const size_t mib = 1024 * 1024;
  // One line of exactly `bytes` bytes, break included.
  const auto long_line = [](size_t bytes) { return "A.zip=2*" + std::string(bytes - 9, 'x') + "\n"; };
  const std::string until_close = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
  const struct {
    const char* name;
    std::string reply;
    size_t statements;
  } cases[] = {
      {"lines at the bound", OkReply(Repeated(line, 10000)), 10000},
      {"lines over the bound", OkReply(Repeated(line, 10001)), 0},
      {"last line without a break", OkReply(Repeated(line, 10000) + "A.zip=2*x"), 0},
      {"lines after a zero byte", OkReply(Repeated(line, 10000) + "\0"s + Repeated(line, 10)), 10000},
      {"empty lines over the bound", OkReply(line + std::string(10000, '\n')), 0},
      {"bytes at the bound", OkReply(long_line(mib)), 1},
      {"bytes over the bound", OkReply(long_line(mib + 1)), 0},
      {"bytes over the bound until close", until_close + long_line(mib + 1), 0},
      {"bytes at the bound in small chunks", ChunkedReply(long_line(mib), 4096), 1},
      {"bytes over the bound in one chunk", ChunkedReply(long_line(mib + 1), mib + 1), 0},
      {"announced length over the bound", "HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\n" + line, 0},
  };
  for (const auto& c : cases) {
    TContentServer server(testing::sbAnswer, c.reply);
    form_.statements.clear();
    EXPECT_NO_THROW(form_.CheckContentUpdates(server.BaseURL())) << c.name;
    EXPECT_EQ(c.statements, form_.statements.size()) << c.name;
    if (c.statements > 0) {
      EXPECT_EQ(Statements(c.statements, "A=true"), form_.statements) << c.name;
    } else {
      EXPECT_TRUE(LocalVersions.empty()) << c.name;
    }
    LocalVersions.clear();
  }
}

}  // namespace
}  // namespace meridian::launcher
