#include "http/http_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "auth/auth_registry.h"
#include "auth/basic_authentication.h"
#include "auth/digest_authentication.h"
#include "http/authentication_manager.h"
#include "http/loopback_server.h"
#include "http/proxy_connection_info.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "uri/uri.h"

namespace meridian::net {
namespace {

using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::Response;

// base64 of "user:secret", "puser:stored" and "puser:fresh".
const std::string kUserSecret = "Basic dXNlcjpzZWNyZXQ=";
const std::string kProxyStored = "Basic cHVzZXI6c3RvcmVk";
const std::string kProxyFresh = "Basic cHVzZXI6ZnJlc2g=";

bool HasHeader(const ReceivedRequest& request, const std::string& line) {
  return request.head.find("\r\n" + line + "\r\n") != std::string::npos;
}

bool Mentions(const ReceivedRequest& request, const std::string& text) {
  return request.head.find(text) != std::string::npos;
}

Reply Ok(const std::string& body, const std::string& headers = "") {
  return {Response("HTTP/1.1 200 OK", body, headers)};
}

Reply Challenge(const std::string& challenge_lines, const std::string& body = "login first") {
  return {Response("HTTP/1.1 401 Unauthorized", body, challenge_lines)};
}

const std::string kBasicChallenge = "WWW-Authenticate: Basic realm=\"shelf\"\r\n";

// A one-step scheme that counts its step up on every answer, so that it
// finishes, and counts its resets.
class TTokenAuthentication : public TNetAuthentication {
 public:
  static constexpr std::string_view kClassName = "TTokenAuthentication";
  static inline int resets = 0;

  std::string ClassName() const override { return std::string(kClassName); }
  std::string AuthorizationValue() const override { return "Token " + Username(); }
  bool KeepAlive() const override { return false; }
  int32_t StepCount() const override { return 1; }
  void Reset() override {
    ++resets;
    SetCurrentStep(0);
  }

 protected:
  TNetAuthNextAction DecideNext() override {
    if (Username().empty()) return naAskUser;
    SetCurrentStep(CurrentStep() + 1);
    return CurrentStep() <= StepCount() ? naDoRequest : naFail;
  }
};

TNetAuthenticationClass TokenScheme() {
  static const bool registered = [] {
    RegisterAuthScheme("Token", AuthenticationClass<TTokenAuthentication>());
    return true;
  }();
  (void)registered;
  return AuthenticationClass<TTokenAuthentication>();
}

// Fills in fixed credentials and counts the calls.
struct CredentialsHandler {
  std::string username = "user";
  std::string password = "secret";
  bool handled = true;
  int calls = 0;
  std::vector<std::string> seen_usernames;
  std::vector<std::string> seen_passwords;

  TNetOnAuthorization Event() {
    return [this](rtl::TComponent*, TNetAuthentication& authentication, bool& Handled) {
      ++calls;
      seen_usernames.push_back(authentication.Username());
      seen_passwords.push_back(authentication.Password());
      authentication.SetUsername(username);
      authentication.SetPassword(password);
      Handled = handled;
    };
  }
};

TEST(TNetHTTPAuthRetry, UnansweredChallengeStillAttachesAndResetsTheScheme) {
  {
    // Basic, no handler: refused on the first response, with a fresh Basic
    // scheme left on the request at step 0.
    LoopbackServer server({Challenge(kBasicChallenge, "denied")});
    TNetHTTP http;
    try {
      http.Get(server.Url("/private"));
      ADD_FAILURE() << "no exception";
    } catch (const ENetHTTPProtocolException& e) {
      EXPECT_EQ(401, e.ReplyErrorCode());
      EXPECT_EQ("HTTP/1.1 401 Unauthorized", std::string(e.what()));
      EXPECT_EQ("denied", e.ResponseBody());
    }
    EXPECT_EQ(1u, server.Requests().size());
    auto* basic = dynamic_cast<TNetBasicAuthentication*>(http.Request().Authenticator());
    ASSERT_NE(nullptr, basic);
    EXPECT_EQ(0, basic->CurrentStep());
  }
  {
    // The scheme chosen by OnSelectAuthorization is the one reset.
    TokenScheme();
    LoopbackServer server({Challenge(kBasicChallenge)});
    TNetHTTP http;
    std::string offered;
    http.OnSelectAuthorization = [&](rtl::TComponent* sender, TNetAuthenticationClass& scheme,
                                     const TNetHeaderList& info) {
      EXPECT_EQ(&http, sender);
      offered = scheme->class_name;
      EXPECT_EQ("Basic realm=\"shelf\"", info.Strings(0));
      scheme = TokenScheme();
    };
    const int resets = TTokenAuthentication::resets;
    EXPECT_THROW(http.Get(server.Url("/private")), ENetHTTPProtocolException);
    EXPECT_EQ("TNetBasicAuthentication", offered);
    ASSERT_NE(nullptr, dynamic_cast<TTokenAuthentication*>(http.Request().Authenticator()));
    EXPECT_EQ(resets + 1, TTokenAuthentication::resets);
  }
}

TEST(TNetHTTPAuthRetry, SchemeIsTheStrongestRegisteredOneNamed) {
  TokenScheme();
  TNetHTTP registers;  // the client registers Digest
  const bool digest = TNetDigestAuthentication::Available();
  struct Case {
    std::string challenges;
    const char* scheme;  // nullptr: refused without any event
    int events;          // selected, then asked unless the scheme fails at once
  } cases[] = {
      {"WWW-Authenticate: Negotiate\r\nWWW-Authenticate: NTLM\r\n", nullptr, 0},
      {"WWW-Authenticate: BasicX realm=\"x\"\r\n", nullptr, 0},
      {"WWW-Authenticate: \r\n", nullptr, 0},
      {"WWW-Authenticate: Token\r\nWWW-Authenticate: Basic realm=\"y\"\r\n", "TTokenAuthentication", 2},
      {"WWW-Authenticate: BASIC realm=\"y\"\r\n", "TNetBasicAuthentication", 2},
      // Digest outranks Basic wherever it stands, when it can work here.
      {"WWW-Authenticate: Basic realm=\"y\"\r\nWWW-Authenticate: Digest realm=\"x\", nonce=\"1\"\r\n",
       digest ? "TNetDigestAuthentication" : "TNetBasicAuthentication", 2},
      {"WWW-Authenticate: Negotiate\r\nWWW-Authenticate: Digest realm=\"x\", nonce=\"1\"\r\n",
       digest ? "TNetDigestAuthentication" : nullptr, digest ? 2 : 0},
      // A Digest challenge it cannot answer (no nonce) fails the request.
      {"WWW-Authenticate: Digest realm=\"x\"\r\nWWW-Authenticate: Basic realm=\"y\"\r\n",
       digest ? "TNetDigestAuthentication" : "TNetBasicAuthentication", digest ? 1 : 2},
  };
  for (const Case& c : cases) {
    LoopbackServer server({Challenge(c.challenges)});
    TNetHTTP http;
    int events = 0;
    http.OnSelectAuthorization = [&](rtl::TComponent*, TNetAuthenticationClass&, const TNetHeaderList&) {
      ++events;
    };
    http.OnAuthorization = [&](rtl::TComponent*, TNetAuthentication&, bool&) { ++events; };
    EXPECT_THROW(http.Get(server.Url("/private")), ENetHTTPProtocolException) << c.challenges;
    TNetAuthentication* authenticator = http.Request().Authenticator();
    if (c.scheme == nullptr) {
      EXPECT_EQ(nullptr, authenticator) << c.challenges;
    } else {
      ASSERT_NE(nullptr, authenticator) << c.challenges;
      EXPECT_EQ(c.scheme, authenticator->ClassName());
    }
    EXPECT_EQ(c.events, events) << c.challenges;
  }
}

TEST(TNetHTTPAuthRetry, ProgramMayRefuseTheSchemeItIsOffered) {
  LoopbackServer server({Challenge(kBasicChallenge)});
  TNetHTTP http;
  bool asked = false;
  http.OnSelectAuthorization = [](rtl::TComponent*, TNetAuthenticationClass& scheme, const TNetHeaderList&) {
    scheme = nullptr;
  };
  http.OnAuthorization = [&](rtl::TComponent*, TNetAuthentication&, bool& handled) { asked = handled = true; };
  EXPECT_THROW(http.Get(server.Url("/private")), ENetHTTPProtocolException);
  EXPECT_FALSE(asked);
  EXPECT_EQ(nullptr, http.Request().Authenticator());
}

TEST(TNetHTTPAuthRetry, HandlerCredentialsAnswerTheChallenge) {
  {
    // In-process: the second request carries the handler's credentials on the
    // same connection and the 200 ends the request.
    LoopbackServer server({Challenge(kBasicChallenge), Ok("welcome")});
    TNetHTTP http;
    CredentialsHandler handler;
    http.OnAuthorization = handler.Event();
    http.SetHTTPOptions({hoInProcessAuth});
    EXPECT_EQ("welcome", http.Get(server.Url("/private")));
    EXPECT_EQ(200, http.Response().StatusCode());
    auto requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_FALSE(Mentions(requests[0], "Authorization"));
    EXPECT_TRUE(HasHeader(requests[1], "Authorization: " + kUserSecret));
    EXPECT_EQ(1, requests[1].connection);
    EXPECT_EQ(1, handler.calls);
    EXPECT_EQ("", handler.seen_usernames[0]);
    // The answer stays with the request, and the next request sends it unasked.
    EXPECT_EQ("user", http.Request().Username());
    EXPECT_EQ("secret", http.Request().Password());
    EXPECT_TRUE(http.Request().BasicAuthentication());
    ASSERT_NE(nullptr, http.Request().Authenticator());
    EXPECT_EQ("shelf", dynamic_cast<TNetBasicAuthentication&>(*http.Request().Authenticator()).Realm());
  }
  {
    // Not in-process: the request ends quietly with the 401 page.
    LoopbackServer server({Challenge(kBasicChallenge, "the login page")});
    TNetHTTP http;
    CredentialsHandler handler;
    http.OnAuthorization = handler.Event();
    rtl::TMemoryStream body;
    http.Get(server.Url("/private"), body);
    EXPECT_EQ("the login page", body.DataString());
    EXPECT_EQ(401, http.Response().StatusCode());
    EXPECT_EQ(1u, server.Requests().size());
  }
  {
    // Credentials set on the request answer without asking the program.
    LoopbackServer server({Challenge(kBasicChallenge), Ok("welcome")});
    TNetHTTP http;
    CredentialsHandler handler;
    http.OnAuthorization = handler.Event();
    http.SetHTTPOptions({hoInProcessAuth});
    http.Request().SetUsername("user");
    http.Request().SetPassword("secret");
    EXPECT_EQ("welcome", http.Get(server.Url("/private")));
    EXPECT_EQ(0, handler.calls);
    EXPECT_TRUE(HasHeader(server.Requests()[1], "Authorization: " + kUserSecret));
  }
}

TEST(TNetHTTPAuthRetry, ChallengesAreAnsweredUpToAuthRetries) {
  struct Case {
    int32_t retries;
    size_t requests;
  } cases[] = {{3, 4}, {1, 2}, {0, 1}};
  for (const Case& c : cases) {
    LoopbackServer server([](const ReceivedRequest&, size_t) { return Challenge(kBasicChallenge); });
    TNetHTTP http;
    CredentialsHandler handler;
    http.OnAuthorization = handler.Event();
    http.SetHTTPOptions({hoInProcessAuth});
    http.SetAuthRetries(c.retries);
    EXPECT_THROW(http.Get(server.Url("/private")), ENetHTTPProtocolException);
    auto requests = server.Requests();
    ASSERT_EQ(c.requests, requests.size()) << c.retries;
    for (size_t i = 1; i < requests.size(); ++i) EXPECT_TRUE(HasHeader(requests[i], "Authorization: " + kUserSecret));
    EXPECT_EQ(c.retries > 0 ? 1 : 0, handler.calls);
    EXPECT_EQ(0, http.RedirectCount());
  }
}

TEST(TNetHTTPAuthRetry, HandlerThatGivesNothingUsableEndsTheAnswer) {
  // The handler says it answered but leaves the user name empty: Basic keeps
  // asking, and the answer must still end.
  LoopbackServer server([](const ReceivedRequest&, size_t) { return Challenge(kBasicChallenge); });
  TNetHTTP http;
  CredentialsHandler handler;
  handler.username = "";
  http.OnAuthorization = handler.Event();
  http.SetHTTPOptions({hoInProcessAuth});
  EXPECT_THROW(http.Get(server.Url("/private")), ENetHTTPProtocolException);
  EXPECT_EQ(1u, server.Requests().size());
  EXPECT_GT(handler.calls, 1);
  EXPECT_LT(handler.calls, 100);
}

TEST(TNetHTTPAuthRetry, HostReachedByRedirectIsNotGivenTheCredentials) {
  LoopbackServer other([](const ReceivedRequest& request, size_t) {
    return Mentions(request, "Authorization") ? Ok("other's page") : Challenge(kBasicChallenge);
  });
  LoopbackServer origin([&](const ReceivedRequest&, size_t) {
    return Reply{Response("HTTP/1.1 302 Found", "", "Location: " + other.Url("/elsewhere") + "\r\n")};
  });
  TNetHTTP http;
  http.SetHandleRedirects(true);
  http.SetHTTPOptions({hoInProcessAuth});
  http.Request().SetUsername("user");
  http.Request().SetPassword("secret");
  {
    // The program declines: nothing of the origin's credentials went across.
    CredentialsHandler handler;
    handler.handled = false;
    http.OnAuthorization = handler.Event();
    EXPECT_THROW(http.Get(origin.Url("/start")), ENetHTTPProtocolException);
    ASSERT_EQ(1, handler.calls);
    EXPECT_EQ("", handler.seen_usernames[0]);
    EXPECT_EQ("", handler.seen_passwords[0]);
    ASSERT_EQ(1u, other.Requests().size());
    EXPECT_FALSE(Mentions(other.Requests()[0], "Authorization"));
  }
  {
    // The program hands over credentials of its own for that host.
    CredentialsHandler handler;
    handler.username = "guest";
    handler.password = "visit";
    http.OnAuthorization = handler.Event();
    EXPECT_EQ("other's page", http.Get(origin.Url("/start")));
    EXPECT_TRUE(HasHeader(other.Requests().back(), "Authorization: Basic Z3Vlc3Q6dmlzaXQ="));
  }
}

// A proxy on loopback that wants "puser:fresh".
Reply ProxyGate(const ReceivedRequest& request, size_t) {
  if (HasHeader(request, "Proxy-Authorization: " + kProxyFresh)) return Ok("through");
  return {Response("HTTP/1.1 407 Proxy Authentication Required", "who are you",
                   "Proxy-Authenticate: Basic realm=\"gate\"\r\n")};
}

TEST(TNetHTTPAuthRetry, StoredProxyPasswordIsNeverReusedForAnAnsweredChallenge) {
  struct Case {
    bool handler;
    bool handled;
    size_t requests;
  } cases[] = {{false, false, 1}, {true, false, 1}, {true, true, 2}};
  for (const Case& c : cases) {
    LoopbackServer proxy(ProxyGate);
    TNetHTTP http;
    http.ProxyParams().SetProxyServer("127.0.0.1");
    http.ProxyParams().SetProxyPort(proxy.Port());
    http.ProxyParams().SetProxyUsername("puser");
    http.ProxyParams().SetProxyPassword("stored");
    http.ProxyParams().SetBasicAuthentication(true);
    http.SetHTTPOptions({hoInProcessAuth});
    CredentialsHandler handler;
    handler.username = "puser";
    handler.password = "fresh";
    handler.handled = c.handled;
    if (c.handler) http.OnProxyAuthorization = handler.Event();
    if (c.handled) {
      EXPECT_EQ("through", http.Get("http://shelf.test/book"));
    } else {
      EXPECT_THROW(http.Get("http://shelf.test/book"), ENetHTTPProtocolException);
    }
    auto requests = proxy.Requests();
    ASSERT_EQ(c.requests, requests.size());
    EXPECT_TRUE(HasHeader(requests[0], "Proxy-Authorization: " + kProxyStored));
    for (size_t i = 1; i < requests.size(); ++i) {
      EXPECT_TRUE(HasHeader(requests[i], "Proxy-Authorization: " + kProxyFresh));
    }
    if (c.handler) {
      // Asked even though a user name was stored, and shown no password.
      ASSERT_EQ(1, handler.calls);
      EXPECT_EQ("puser", handler.seen_usernames[0]);
      EXPECT_EQ("", handler.seen_passwords[0]);
    }
    EXPECT_EQ(c.handled ? "fresh" : "", http.ProxyParams().ProxyPassword());
    EXPECT_FALSE(Mentions(requests.back(), "\r\nAuthorization"));
  }
}

TEST(TNetHTTPAuthRetry, ProxyChallengeRetriesAreBounded) {
  LoopbackServer proxy([](const ReceivedRequest&, size_t) {
    return Reply{Response("HTTP/1.1 407 Proxy Authentication Required", "",
                          "Proxy-Authenticate: Basic realm=\"gate\"\r\n")};
  });
  TNetHTTP http;
  http.ProxyParams().SetProxyServer("127.0.0.1");
  http.ProxyParams().SetProxyPort(proxy.Port());
  http.SetHTTPOptions({hoInProcessAuth});
  CredentialsHandler handler;
  http.OnProxyAuthorization = handler.Event();
  try {
    http.Get("http://shelf.test/book");
    ADD_FAILURE() << "no exception";
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(407, e.ReplyErrorCode());
  }
  EXPECT_EQ(4u, proxy.Requests().size());
  EXPECT_EQ(3, handler.calls);
}

TEST(TNetHTTPAuthRetry, ClosingAfterTheLastStepStoresAndDropsTheScheme) {
  TokenScheme();
  const std::string token_challenge = "WWW-Authenticate: Token\r\n";
  {
    LoopbackServer server({Challenge(token_challenge), Ok("welcome", "Connection: close\r\n")});
    TNetAuthenticationManager manager;
    TNetHTTP http;
    http.SetAuthenticationManager(&manager);
    http.SetHTTPOptions({hoInProcessAuth});
    http.Request().SetUsername("user");
    http.OnAuthorization = [](rtl::TComponent*, TNetAuthentication&, bool&) {};
    EXPECT_EQ("welcome", http.Get(server.Url("/vault/room.txt")));
    EXPECT_TRUE(HasHeader(server.Requests()[1], "Authorization: Token user"));
    EXPECT_FALSE(http.Connected());
    EXPECT_EQ(nullptr, http.Request().Authenticator());
    ASSERT_EQ(1, manager.Count());
    EXPECT_EQ(server.Url("/vault/room.txt"), manager.Items(0).URI().URIText());
    const rtl::TStringList& params = manager.Items(0).Params();
    EXPECT_NE(-1, params.IndexOf("Username: user"));
    EXPECT_NE(-1, params.IndexOf("Authorization: Token user"));
  }
  {
    // Basic never finishes its steps: it stays for the next request, and a
    // manager that dies first is forgotten.
    LoopbackServer server({Challenge(kBasicChallenge), Ok("welcome", "Connection: close\r\n")});
    TNetHTTP http;
    {
      TNetAuthenticationManager manager;
      http.SetAuthenticationManager(&manager);
    }
    EXPECT_EQ(nullptr, http.AuthenticationManager());
    http.SetHTTPOptions({hoInProcessAuth});
    CredentialsHandler handler;
    http.OnAuthorization = handler.Event();
    EXPECT_EQ("welcome", http.Get(server.Url("/private")));
    EXPECT_NE(nullptr, http.Request().Authenticator());
  }
}

TEST(TNetHTTPAuthRetry, ClosingResetsTheProxyScheme) {
  LoopbackServer proxy({Ok("one", "Connection: close\r\n")});
  TNetHTTP http;
  http.ProxyParams().SetProxyServer("127.0.0.1");
  http.ProxyParams().SetProxyPort(proxy.Port());
  http.ProxyParams().SetAuthenticator(std::make_unique<TTokenAuthentication>());
  http.ProxyParams().Authenticator()->SetCurrentStep(1);
  const int resets = TTokenAuthentication::resets;
  EXPECT_EQ("one", http.Get("http://shelf.test/book"));
  EXPECT_FALSE(http.Connected());
  EXPECT_LT(resets, TTokenAuthentication::resets);
  EXPECT_EQ(0, http.ProxyParams().Authenticator()->CurrentStep());
}

}  // namespace
}  // namespace meridian::net
