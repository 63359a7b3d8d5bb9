#include "fetch_session.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "coders/encoder.h"
#include "http/loopback_server.h"
#include "http/scripted_peer.h"
#include "output_stream.h"
#include "support/environment.h"

namespace meridian::fetch {
namespace {

using net::testing::LoopbackServer;
using net::testing::ReceivedRequest;
using net::testing::Reply;
using net::testing::Response;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Runs meridian-fetch's session with its output in a file of a temporary
// folder that the fixture removes.
class FetchRun : public ::testing::Test {
 protected:
  struct Result {
    int32_t code;
    std::string out;
    std::string err;
  };

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / (std::string("fetch_test_") + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void WriteFile(const std::string& name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }

  Result Run(std::vector<std::string> args) {
    const std::string out_path = Path("out");
    TFetchMessageText err;
    int32_t code;
    {
      TFetchOutputStream out(out_path);
      TFetchSession session(ParseFetchOptions(args), out, err);
      code = session.Run();
    }
    return {code, ReadFile(out_path), err.str()};
  }

  std::filesystem::path dir_;
};

TEST_F(FetchRun, IncludeWritesTheHeadAsReceivedThenTheBody) {
  const std::string reply = Response("HTTP/1.1 200 OK", "hello", "X-Odd:spacing\r\n");
  LoopbackServer server({Reply{reply, false}});
  const Result r = Run({"-i", server.Url("/a")});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ(reply, r.out);
}

TEST_F(FetchRun, MapsEachOutcomeToOutputAndExitCode) {
  const std::string page = Response("HTTP/1.1 404 Not Found", "no such page");
  const struct {
    const char* name;
    std::string reply;
    std::vector<std::string> args;
    int32_t code;
    std::string out;
  } cases[] = {
      {"error page without -f", page, {}, 0, "no such page"},
      {"error page with -f", page, {"-f"}, 22, ""},
      {"redirect not followed", Response("HTTP/1.1 302 Found", "moved", "Location: /b\r\n"), {}, 0, "moved"},
      {"short body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", {}, 18, "abc"},
      {"nothing at all", "", {}, 52, ""},
      {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n", {}, 56, ""},
      {"conflicting lengths", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", {}, 8, ""},
      {"chunked with extensions", "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3;x=y\r\nabc\r\n0\r\n\r\n", {}, 0, "abc"},
      {"redirect to ftp", Response("HTTP/1.1 302 Found", "", "Location: ftp://127.0.0.1/f\r\n"), {"-L"}, 1, ""},
      {"redirect to a file", Response("HTTP/1.1 302 Found", "", "Location: file:///etc/passwd\r\n"), {"-L"}, 1, ""},
      {"redirect without host", Response("HTTP/1.1 302 Found", "", "Location: http:///x\r\n"), {"-L"}, 3, ""},
      {"redirect to port 65616", Response("HTTP/1.1 302 Found", "", "Location: http://127.0.0.1:65616/\r\n"), {"-L"}, 3, ""},
      {"redirect without Location", Response("HTTP/1.1 302 Found", "stay"), {"-L"}, 0, "stay"},
      {"another service", "220 mail.example ESMTP ready\r\n", {}, 8, ""},
      {"no status line, with -f", "FOO BAR\r\n\r\nbody", {"-f"}, 8, ""},
      {"headers without a status line", "Content-Length: 3\r\n\r\nabc", {}, 8, ""},
      {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc", {}, 8, ""},
      {"empty lines before the status", "\r\n\r\n" + page, {}, 0, "no such page"},
      {"head cut by the close", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n", {"-i"}, 18, ""},
      {"redirect head cut by the close", "HTTP/1.1 302 Found\r\nLocation: /b\r\n", {}, 18, ""},
      {"error head cut by the close, with -f", "HTTP/1.1 404 Not Found\r\nX-A: 1", {"-f"}, 18, ""},
  };
  for (const auto& c : cases) {
    LoopbackServer server({Reply{c.reply, true}});
    std::vector<std::string> args = c.args;
    args.push_back(server.Url("/a"));
    const Result r = Run(args);
    EXPECT_EQ(c.code, r.code) << c.name << ": " << r.err;
    EXPECT_EQ(c.out, r.out) << c.name;
    if (c.code != 0) {
      EXPECT_EQ(0u, r.err.find("meridian-fetch: (" + std::to_string(c.code) + ") ")) << r.err;
    }
  }
}

// Standard output that refuses the -w text fails the run, also when the body
// went to a file.
TEST_F(FetchRun, WriteOutTextThatCannotBeWrittenFailsTheRun) {
  LoopbackServer server({Reply{Response("HTTP/1.1 200 OK", "body"), false}});
  TFetchMessageText err;
  int32_t code;
  {
    TFetchOutputStream out(Path("out"));
    TFetchOutputStream full("/dev/full");
    TFetchSession session(ParseFetchOptions({"-w", "%{http_code}\n", server.Url("/a")}), out, err, &full);
    code = session.Run();
  }
  EXPECT_EQ(23, code);
  EXPECT_EQ("body", ReadFile(Path("out")));
  EXPECT_EQ("meridian-fetch: (23) Failure writing output\n", err.str());
}

// Answers "/r/N" with a redirect to "/r/N+1" and every other path with "done".
LoopbackServer::Handler RedirectChain() {
  return [](const ReceivedRequest& request, size_t) {
    const size_t at = request.head.find("/r/");
    if (at == std::string::npos || at > request.head.find('\n')) return Reply{Response("HTTP/1.1 200 OK", "done"), false};
    const int n = std::stoi(request.head.substr(at + 3));
    const std::string next = n >= 3 ? "/end" : "/r/" + std::to_string(n + 1);
    return Reply{Response("HTTP/1.1 302 Found", "moved", "Location: " + next + "\r\n"), false};
  };
}

TEST_F(FetchRun, FollowsRedirectsWithinTheBound) {
  LoopbackServer server(RedirectChain());
  const Result r = Run({"-L", "-w", " %{http_code} %{url_effective}", server.Url("/r/1")});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ("done 200 " + server.Url("/end"), r.out);
  EXPECT_EQ(1, server.Connections());

  LoopbackServer bounded(RedirectChain());
  const Result over = Run({"-L", "--max-redirs", "2", bounded.Url("/r/1")});
  EXPECT_EQ(47, over.code);
  EXPECT_EQ("meridian-fetch: (47) Maximum (2) redirects followed\n", over.err);
  EXPECT_EQ("", over.out);
}

// The client's events: each followed redirect's head goes out with -i before
// the last head and body, -v reports the connection's states.
TEST_F(FetchRun, EventsEmitEveryHeadInOrderAndReportTheConnection) {
  LoopbackServer server(RedirectChain());
  const Result r = Run({"-i", "-L", "-v", server.Url("/r/1")});
  EXPECT_EQ(0, r.code) << r.err;
  std::vector<size_t> heads;
  for (size_t at = r.out.find("HTTP/1.1 "); at != std::string::npos; at = r.out.find("HTTP/1.1 ", at + 1)) {
    heads.push_back(at);
  }
  ASSERT_EQ(4u, heads.size()) << r.out;
  EXPECT_EQ(0u, heads[0]);
  EXPECT_EQ(heads[3], r.out.find("HTTP/1.1 200 OK")) << r.out;
  EXPECT_EQ(std::string::npos, r.out.find("moved")) << r.out;  // no redirect body
  EXPECT_EQ(r.out.size() - 4, r.out.rfind("done"));
  EXPECT_NE(std::string::npos, r.err.find("* Connected.")) << r.err;
}

TEST_F(FetchRun, PostAnsweredBySeeOtherGoesOnAsGet) {
  LoopbackServer server([](const ReceivedRequest& request, size_t index) {
    if (index == 0) return Reply{Response("HTTP/1.1 303 See Other", "", "Location: /result\r\n"), false};
    return Reply{Response("HTTP/1.1 200 OK", request.head.substr(0, request.head.find(' '))), false};
  });
  WriteFile("form.txt", "a=1\r\n&b=2\n");
  const Result r = Run({"-L", "-d", "@" + Path("form.txt"), "-d", "c=3", server.Url("/form")});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ("GET", r.out);
  const std::vector<ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("a=1&b=2&c=3", requests[0].body);
  EXPECT_NE(std::string::npos, requests[0].head.find("Content-Type: application/x-www-form-urlencoded\r\n"));
}

TEST_F(FetchRun, SeveralUrlsShareOneConnectionAndHeadersReplaceDefaults) {
  LoopbackServer server([](const ReceivedRequest&, size_t index) {
    return Reply{Response("HTTP/1.1 200 OK", "part" + std::to_string(index)), false};
  });
  const Result r = Run({"-H", "User-Agent: probe/1", "-H", "Content-Type:", "-H", "X-Extra: yes",
                        server.Url("/a"), server.Url("/b"), server.Url("/c")});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ("part0part1part2", r.out);
  EXPECT_EQ(1, server.Connections());
  const std::string head = server.Requests().at(0).head;
  EXPECT_NE(std::string::npos, head.find("\r\nUser-Agent: probe/1\r\n")) << head;
  EXPECT_EQ(std::string::npos, head.find("Mozilla")) << head;
  EXPECT_EQ(std::string::npos, head.find("Content-Type")) << head;
  EXPECT_NE(std::string::npos, head.find("\r\nX-Extra: yes\r\n")) << head;
}

TEST_F(FetchRun, CookieJarCarriesCookiesToTheNextRun) {
  LoopbackServer server([](const ReceivedRequest&, size_t) {
    return Reply{Response("HTTP/1.1 200 OK", "ok", "Set-Cookie: sid=42; path=/\r\n"), false};
  });
  ASSERT_EQ(0, Run({"-c", Path("jar"), server.Url("/login")}).code);
  EXPECT_NE(std::string::npos, ReadFile(Path("jar")).find("\tsid\t42\n")) << ReadFile(Path("jar"));
  ASSERT_EQ(0, Run({"-b", Path("jar"), server.Url("/page")}).code);
  const std::vector<ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(std::string::npos, requests[0].head.find("Cookie:"));
  EXPECT_NE(std::string::npos, requests[1].head.find("\r\nCookie: sid=42\r\n")) << requests[1].head;

  // A jar that cannot be written is said, and the transfer still counts, as
  // with curl.
  const std::string unwritable = Path("no-such-folder") + "/jar";
  const Result r = Run({"-c", unwritable, server.Url("/again")});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("Failed to save cookies in " + unwritable)) << r.err;
}

TEST_F(FetchRun, UploadsAFileWithPutAndRefusesAMissingOne) {
  LoopbackServer server({Reply{Response("HTTP/1.1 201 Created", ""), false}});
  WriteFile("up.bin", std::string("\0\1\2line\n", 8));
  const Result r = Run({"-T", Path("up.bin"), server.Url("/dir/")});
  EXPECT_EQ(0, r.code) << r.err;
  const ReceivedRequest request = server.Requests().at(0);
  EXPECT_EQ(0u, request.head.find("PUT /dir/up.bin HTTP/1.1\r\n")) << request.head;
  EXPECT_EQ(std::string("\0\1\2line\n", 8), request.body);

  const Result missing = Run({"-T", Path("absent"), server.Url("/dir/")});
  EXPECT_EQ(26, missing.code);
}

TEST_F(FetchRun, MaxTimeEndsAStalledTransferWithinASecond) {
  // Announces ten bytes, sends three and then nothing.
  LoopbackServer server({Reply{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", false}});
  const auto start = std::chrono::steady_clock::now();
  const Result r = Run({"-m", "0.5", server.Url("/slow")});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(28, r.code) << r.err;
  EXPECT_EQ("abc", r.out);
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
  EXPECT_EQ(0u, r.err.find("meridian-fetch: (28) Operation timed out after ")) << r.err;

  LoopbackServer quiet({Reply{"HTTP/1.1 200 OK\r\n", false}});
  EXPECT_EQ(28, Run({"--read-timeout", "0.2", quiet.Url("/slow")}).code);
}

TEST_F(FetchRun, WhatTheDeadlineCutsIsATimeOutAndErrorPagesAreNeverWaitedForWithFail) {
  // Each server answers and then holds the connection open.
  const std::string head404 = "HTTP/1.1 404 Not Found\r\nContent-Length: 100000\r\n\r\n";
  const std::string big_page(3 * 1024 * 1024 / 2, 'p');
  const struct {
    const char* name;
    std::string reply;
    std::vector<std::string> args;
    int32_t code;
    std::string out;
  } cases[] = {
      {"body until the close", "HTTP/1.1 200 OK\r\n\r\nabc", {"-m", "0.5"}, 28, "abc"},
      {"redirect body drained", "HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 9\r\n\r\nabc",
       {"-L", "-m", "0.5"}, 28, ""},
      {"held error page with -f", head404 + "abc", {"-f", "-m", "5"}, 22, ""},
      {"held error page with -f -i", head404 + "abc", {"-f", "-i", "-m", "5"}, 22, head404},
      {"error page past the kept prefix", Response("HTTP/1.1 500 Oops", big_page), {"-m", "5"}, 0, big_page},
  };
  for (const auto& c : cases) {
    LoopbackServer server({Reply{c.reply, false}});
    std::vector<std::string> args = c.args;
    args.push_back(server.Url("/a"));
    const auto start = std::chrono::steady_clock::now();
    const Result r = Run(args);
    EXPECT_EQ(c.code, r.code) << c.name << ": " << r.err;
    EXPECT_TRUE(c.out == r.out) << c.name << ": " << r.out.size() << " bytes";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << c.name;
  }
}

TEST_F(FetchRun, MaxTimeEndsAnUploadThatThePeerNeverReads) {
  // The peer takes the connection and reads nothing: once the socket buffers
  // are full the send waits, and only the deadline ends it.
  net::testing::ScriptedPeer peer({}, net::testing::ScriptedPeer::kHoldOpen);
  WriteFile("big.bin", std::string(32 * 1024 * 1024, 'x'));
  const auto start = std::chrono::steady_clock::now();
  const Result r = Run({"-m", "0.5", "-T", Path("big.bin"), "http://127.0.0.1:" + std::to_string(peer.Port()) + "/"});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(28, r.code) << r.err;
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
}

TEST_F(FetchRun, ConnectFailuresKeepTheirKindWhateverTheTimeOuts) {
  // The quiet proxy takes each connection and never answers the handshake.
  const struct {
    std::vector<std::string> args;
    bool via_quiet_proxy;
    int32_t code;
  } cases[] = {
      {{}, false, 7},
      {{"--connect-timeout", "5"}, false, 7},
      {{"-m", "5"}, false, 7},
      {{"--socks5-hostname", "", "--read-timeout", "0.3"}, true, 28},
      {{"--socks4", "", "--read-timeout", "0.3"}, true, 28},
      {{"--socks5-hostname", "", "--connect-timeout", "0.3"}, true, 28},
      {{"--socks5-hostname", "", "-m", "0.3"}, true, 28},
  };
  for (const auto& c : cases) {
    net::testing::ScriptedPeer quiet({}, net::testing::ScriptedPeer::kHoldOpen);
    std::vector<std::string> args = c.args;
    if (c.via_quiet_proxy) args[1] = "127.0.0.1:" + std::to_string(quiet.Port());
    args.push_back("http://127.0.0.1:1/");
    const auto start = std::chrono::steady_clock::now();
    const Result r = Run(args);
    EXPECT_EQ(c.code, r.code) << args[0] << ": " << r.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4)) << args[0];
  }
}

TEST_F(FetchRun, RefusesUrlsItCannotSendSafely) {
  const struct {
    const char* url;
    int32_t code;
  } cases[] = {
      {"http://127.0.0.1:1/a b", 3},
      {"http://127.0.0.1:1/a\r\nX-Injected: 1", 3},
      {"http://:80/", 3},
      {"http://127.0.0.1:99999/", 3},
      {"ftp://127.0.0.1/", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.code, Run({c.url}).code) << c.url;
  }
}

TEST_F(FetchRun, ANextUrlNamingAHostGoesToItsDefaultPort) {
  LoopbackServer server({Reply{Response("HTTP/1.1 200 OK", "first"), false}, Reply{Response("HTTP/1.1 200 OK", "second"), false}});
  const Result r = Run({"-w", " %{url_effective}\n", server.Url("/a"), "http://127.0.0.1/b"});
  EXPECT_EQ(1u, server.Requests().size());
  EXPECT_NE(std::string::npos, r.out.find(" http://127.0.0.1/b\n")) << r.out;
}

TEST_F(FetchRun, RefusedConnectIsExit7WithOrWithoutATimeout) {
  int32_t port = 0;
  {
    LoopbackServer gone(std::vector<Reply>{});
    port = gone.Port();
  }
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
  for (const std::vector<std::string>& args : {std::vector<std::string>{url},
                                               {"--connect-timeout", "20", url},
                                               {"-m", "20", url}}) {
    const Result r = Run(args);
    EXPECT_EQ(7, r.code) << args.size() << ": " << r.err;
    EXPECT_NE(std::string::npos, r.err.find("10061")) << r.err;
  }
}

TEST_F(FetchRun, ServerClosingAKeptAliveConnectionDoesNotFailTheNextUrl) {
  // Each answer claims keep-alive, but the server closes after it.
  LoopbackServer server([](const ReceivedRequest&, size_t index) {
    return Reply{Response("HTTP/1.1 200 OK", "r" + std::to_string(index)), true};
  });
  const Result r = Run({server.Url("/a"), server.Url("/b"), server.Url("/c")});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ("r0r1r2", r.out);
  EXPECT_EQ(3, server.Connections());
}

TEST_F(FetchRun, ProxyGetsTheAbsoluteUrlAndVerboseShowsBothHeads) {
  LoopbackServer proxy({Reply{Response("HTTP/1.1 200 OK", "via proxy"), false}});
  const Result r = Run({"-v", "-x", "http://user:pw@127.0.0.1:" + std::to_string(proxy.Port()),
                        "http://origin.test:8080/x?y=1"});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ("via proxy", r.out);
  const std::string head = proxy.Requests().at(0).head;
  EXPECT_EQ(0u, head.find("GET http://origin.test:8080/x?y=1 HTTP/1.1\r\n")) << head;
  EXPECT_NE(std::string::npos, head.find("\r\nProxy-Authorization: Basic dXNlcjpwdw==\r\n")) << head;
  EXPECT_NE(std::string::npos, r.err.find("> GET http://origin.test:8080/x?y=1 HTTP/1.1\n")) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("< HTTP/1.1 200 OK\n< Content-Length: 9\n<\n")) << r.err;
}

TEST_F(FetchRun, ProxyVariablesChooseTheProxyOfEachRequestAndRedirect) {
  // The proxy redirects to a host of no_proxy: that request goes direct.
  LoopbackServer origin({Reply{Response("HTTP/1.1 200 OK", "direct"), false}});
  LoopbackServer proxy({Reply{Response("HTTP/1.1 302 Found", "", "Location: " + origin.Url("/end") + "\r\n"), false}});
  meridian::testing::SetEnvironmentVariable("http_proxy", ("127.0.0.1:" + std::to_string(proxy.Port())).c_str());
  meridian::testing::SetEnvironmentVariable("no_proxy", "example.test, 127.0.0.1");
  const Result r = Run({"-L", "http://origin.test/start"});
  const Result overridden = Run({"--noproxy", "", "-x", "", "http://127.0.0.1:1/"});
  const Result bad = Run({"--noproxy", "", "-x", "ftp://127.0.0.1:1", "http://127.0.0.1:1/"});
  meridian::testing::ClearEnvironmentVariable("http_proxy");
  meridian::testing::ClearEnvironmentVariable("no_proxy");
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ("direct", r.out);
  EXPECT_EQ(0u, proxy.Requests().at(0).head.find("GET http://origin.test:80/start HTTP/1.1\r\n")) << proxy.Requests().at(0).head;
  EXPECT_EQ(0u, origin.Requests().at(0).head.find("GET /end HTTP/1.1\r\n"));
  // -x "" goes direct whatever the variables say: to a port that refuses.
  EXPECT_EQ(fxCouldNotConnect, overridden.code) << overridden.err;
  EXPECT_EQ(1u, proxy.Requests().size());
  EXPECT_EQ(fxCouldNotConnect, bad.code);
  EXPECT_NE(std::string::npos, bad.err.find("(7) Unsupported proxy scheme for 'ftp://127.0.0.1:1'")) << bad.err;
}

// Wants "user:secret" (base64 dXNlcjpzZWNyZXQ=) from the server's side, or
// "puser:pw" (cHVzZXI6cHc=) as a proxy.
LoopbackServer::Handler Gate(bool proxy) {
  return [proxy](const ReceivedRequest& request, size_t) {
    const std::string wanted = proxy ? "\r\nProxy-Authorization: Basic cHVzZXI6cHc=\r\n"
                                     : "\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\n";
    if (request.head.find(wanted) != std::string::npos) return Reply{Response("HTTP/1.1 200 OK", "inside"), false};
    if (proxy) {
      return Reply{Response("HTTP/1.1 407 Proxy Authentication Required", "proxy says no",
                            "Proxy-Authenticate: Basic realm=\"gate\"\r\n"),
                   false};
    }
    return Reply{Response("HTTP/1.1 401 Unauthorized", "server says no", "WWW-Authenticate: Basic realm=\"r\"\r\n"),
                 false};
  };
}

TEST_F(FetchRun, CredentialsAnswerChallengesInTheSameRequest) {
  const struct {
    const char* name;
    bool proxy;
    std::vector<std::string> args;
    int32_t code;
    std::string out;
    size_t requests;
  } cases[] = {
      {"-u answers the 401", false, {"-u", "user:secret"}, 0, "inside", 2},
      {"--basic sends them unasked", false, {"--basic", "--user", "user:secret"}, 0, "inside", 1},
      {"wrong password, the page", false, {"-u", "user:wrong"}, 0, "server says no", 2},
      {"wrong password with -f", false, {"-f", "-u", "user:wrong"}, 22, "", 2},
      {"no credentials with -f", false, {"-f"}, 22, "", 1},
      {"-U answers the 407", true, {"-U", "puser:pw"}, 0, "inside", 2},
      {"-U wrong with -f", true, {"-f", "--proxy-user", "puser:no"}, 22, "", 2},
      {"-u does not answer a proxy", true, {"-f", "-u", "puser:pw"}, 22, "", 1},
  };
  for (const auto& c : cases) {
    LoopbackServer server(Gate(c.proxy));
    std::vector<std::string> args = c.args;
    if (c.proxy) {
      args.insert(args.end(), {"-x", "127.0.0.1:" + std::to_string(server.Port()), "http://shelf.test/book"});
    } else {
      args.push_back(server.Url("/book"));
    }
    const Result r = Run(args);
    EXPECT_EQ(c.code, r.code) << c.name << ": " << r.err;
    EXPECT_EQ(c.out, r.out) << c.name;
    EXPECT_EQ(c.requests, server.Requests().size()) << c.name;
    if (c.code == 22) {
      EXPECT_NE(std::string::npos, r.err.find(c.proxy ? "error: 407\n" : "error: 401\n")) << r.err;
    }
  }
}

TEST_F(FetchRun, CredentialsStayWithTheHostTheyWereGivenFor) {
  LoopbackServer other(Gate(false));
  LoopbackServer origin({Reply{Response("HTTP/1.1 302 Found", "", "Location: " + other.Url("/book") + "\r\n"), false}});
  const Result r = Run({"-L", "-f", "-u", "user:secret", origin.Url("/start")});
  EXPECT_EQ(22, r.code);
  for (const ReceivedRequest& request : other.Requests()) {
    EXPECT_EQ(std::string::npos, request.head.find("Authorization")) << request.head;
  }
}

TEST_F(FetchRun, NothingOfTheCallersCredentialsOrCookiesCrossesToAnotherOrigin) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    const char* user_info;  // in the Location
  } cases[] = {
      {"-u, the Location names a user", {"-u", "user:secret"}, "x@"},
      {"--basic -u, the Location names user and password", {"--basic", "-u", "user:secret"}, "x:y@"},
      {"-H Cookie and Authorization", {"-H", "Cookie: sid=mine", "-H", "Authorization: Bearer t0ken"}, ""},
  };
  for (const auto& c : cases) {
    LoopbackServer other({Reply{Response("HTTP/1.1 200 OK", "other"), false}});
    const std::string location =
        "http://" + std::string(c.user_info) + "127.0.0.1:" + std::to_string(other.Port()) + "/next";
    LoopbackServer origin([&](const ReceivedRequest& request, size_t) {
      // The origin itself asks for credentials until it gets some.
      if (request.head.find("\r\nAuthorization: ") == std::string::npos) {
        return Reply{Response("HTTP/1.1 401 Unauthorized", "", "WWW-Authenticate: Basic realm=\"r\"\r\n"), false};
      }
      return Reply{Response("HTTP/1.1 302 Found", "", "Location: " + location + "\r\n"), false};
    });
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-L", origin.Url("/start")});
    const Result r = Run(args);
    EXPECT_EQ(0, r.code) << c.name << ": " << r.err;
    EXPECT_EQ("other", r.out) << c.name;
    ASSERT_EQ(1u, other.Requests().size()) << c.name;
    const std::string head = other.Requests()[0].head;
    EXPECT_EQ(std::string::npos, head.find("Authorization")) << c.name << ": " << head;
    EXPECT_EQ(std::string::npos, head.find("Cookie")) << c.name << ": " << head;
  }
}

TEST_F(FetchRun, ProxyCredentialsGoToNoServer) {
  const struct {
    std::vector<std::string> args;
    int32_t code;
    const char* out;
  } cases[] = {
      {{"-U", "puser:pw"}, 0, "proxy says no"},
      {{"-f", "-U", "puser:pw"}, 22, ""},
  };
  for (const auto& c : cases) {
    LoopbackServer server(Gate(true));
    std::vector<std::string> args = c.args;
    args.push_back(server.Url("/book"));
    const Result r = Run(args);
    EXPECT_EQ(c.code, r.code) << r.err;
    EXPECT_EQ(c.out, r.out);
    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ(std::string::npos, server.Requests()[0].head.find("Proxy-Authorization"));
  }
}

TEST_F(FetchRun, LongValuesTravelWholeOnOneLine) {
  const std::string user(100, 'u');
  std::string password;
  for (int i = 0; i < 10; ++i) password += "open sesame ";
  const std::string basic = "Basic " + net::TNetEncoder::EncodeText<net::TNetEncoderMIME>(user + ":" + password);
  std::string agent = "reader/2.0";
  for (int i = 0; i < 12; ++i) agent += " (component " + std::to_string(i) + ")";
  const std::string referer = "http://shelf.test/" + std::string(120, 'r');
  {
    LoopbackServer server({Reply{Response("HTTP/1.1 200 OK", "fine"), false}});
    const Result r = Run({"--basic", "-u", user + ":" + password, "-A", agent, "-e", referer, server.Url("/")});
    EXPECT_EQ(0, r.code) << r.err;
    const std::string head = server.Requests().at(0).head;
    EXPECT_NE(std::string::npos, head.find("\r\nAuthorization: " + basic + "\r\n")) << head;
    EXPECT_NE(std::string::npos, head.find("\r\nUser-Agent: " + agent + "\r\n")) << head;
    EXPECT_NE(std::string::npos, head.find("\r\nReferer: " + referer + "\r\n")) << head;
  }
  {
    LoopbackServer proxy({Reply{Response("HTTP/1.1 200 OK", "via proxy"), false}});
    const Result r = Run({"-x", "http://" + user + ":" + password + "@127.0.0.1:" + std::to_string(proxy.Port()),
                          "http://origin.test/x"});
    EXPECT_EQ(0, r.code) << r.err;
    const std::string head = proxy.Requests().at(0).head;
    EXPECT_NE(std::string::npos, head.find("\r\nProxy-Authorization: " + basic + "\r\n")) << head;
  }
}

}  // namespace
}  // namespace meridian::fetch
