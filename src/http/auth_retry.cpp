// The HTTP client's answers to authentication challenges (401 from the
// server, 407 from a proxy) and what the closing of a connection does to the
// authenticators.
#include <string>
#include <string_view>

#include "auth/auth_registry.h"
#include "auth/authentication.h"
#include "headers/header_list.h"
#include "http/authentication_manager.h"
#include "http/http_client.h"
#include "http/proxy_connection_info.h"
#include "rtl/text.h"

namespace meridian::net {

namespace {

// Bound on the rounds of one answer. A scheme that keeps asking for the user
// while the handler claims to have answered would otherwise never let go.
constexpr int32_t kMaxAnswerRounds = 8;

// The strongest registered scheme named by the challenge lines, each named by
// its first word (the first named among equals); then the program's choice.
// None when no name is registered or the program refuses.
TNetAuthenticationClass ChooseScheme(rtl::TComponent* client, const TNetHeaderList& challenges,
                                     const TNetOnSelectAuthorization& select) {
  TNetAuthenticationClass scheme = nullptr;
  for (const std::string& line : challenges.Lines()) {
    const size_t blank = rtl::FirstOccurrence(" ", line);
    const TNetAuthenticationClass named =
        FindAuthScheme(blank == 0 ? std::string_view(line) : std::string_view(line).substr(0, blank - 1));
    if (named != nullptr && (scheme == nullptr || named->strength > scheme->strength)) scheme = named;
  }
  if (scheme == nullptr) return nullptr;
  if (select) select(client, scheme, challenges);
  return scheme;
}

}  // namespace

void TNetCustomHTTP::SetAuthenticationManager(TNetAuthenticationManager* manager) {
  if (manager == authentication_manager_) return;
  if (authentication_manager_ != nullptr) authentication_manager_->RemoveFreeNotification(this);
  authentication_manager_ = manager;
  if (manager != nullptr) manager->FreeNotification(this);
}

bool TNetCustomHTTP::RunAuthSteps(TNetAuthentication& authentication, const TNetOnAuthorization& ask,
                                  const std::function<void(TNetAuthentication&)>& give_credentials,
                                  const std::function<void(const TNetAuthentication&)>& keep_credentials,
                                  bool ask_first) {
  bool asked = false;
  for (int32_t round = 0; round < kMaxAnswerRounds; ++round) {
    TNetAuthNextAction action = authentication.Next();
    if (action == naDoRequest && ask_first && !asked) action = naAskUser;
    switch (action) {
      case naAskUser: {
        give_credentials(authentication);
        bool handled = false;
        ask(this, authentication, handled);
        if (!handled) return false;
        keep_credentials(authentication);
        asked = true;
        break;
      }
      case naDoRequest:
        return true;
      case naFail:
        return false;
    }
  }
  return false;
}

bool TNetCustomHTTP::AnswerServerChallenge(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  ++server_auth_attempts_;
  const TNetHeaderList& challenges = response.WWWAuthenticate();
  if (request.Authenticator() == nullptr) {
    const TNetAuthenticationClass scheme = ChooseScheme(this, challenges, OnSelectAuthorization);
    if (scheme == nullptr) return false;
    request.SetAuthenticator(scheme->create());
  }
  if (!OnAuthorization) return false;

  // A host that a redirect led to gets none of the request's credentials
  // unless the program hands them over itself.
  const bool foreign = withhold_credentials_;
  auto give = [&request, foreign](TNetAuthentication& authentication) {
    authentication.SetUsername(foreign ? std::string() : request.Username());
    authentication.SetPassword(foreign ? std::string() : request.Password());
  };
  auto keep = [&request](const TNetAuthentication& authentication) {
    request.SetBasicAuthentication(true);
    request.SetUsername(authentication.Username());
    request.SetPassword(authentication.Password());
  };

  TNetAuthentication& authentication = *request.Authenticator();
  give(authentication);
  authentication.Params().SetValue("Authorization", authentication.AuthorizationValue());
  authentication.SetChallenges(challenges);
  return RunAuthSteps(authentication, OnAuthorization, give, keep, false);
}

bool TNetCustomHTTP::AnswerProxyChallenge(TNetHTTPRequest& /*request*/, TNetHTTPResponse& response) {
  ++proxy_auth_attempts_;
  TNetProxyConnectionInfo& proxy = *proxy_params_;
  const TNetHeaderList& challenges = response.ProxyAuthenticate();
  if (proxy.Authenticator() == nullptr) {
    const TNetAuthenticationClass scheme = ChooseScheme(this, challenges, OnSelectProxyAuthorization);
    if (scheme == nullptr) return false;
    proxy.SetAuthenticator(scheme->create());
  }
  TNetAuthentication& authentication = *proxy.Authenticator();
  // A 407 says the stored password was refused or never sent: it is not used
  // again, only the handler can supply one.
  if (response.StatusCode() == 407) {
    proxy.SetProxyPassword("");
    authentication.Reset();
  }
  if (!OnProxyAuthorization) return false;

  auto give = [&proxy](TNetAuthentication& scheme) {
    scheme.SetUsername(proxy.ProxyUsername());
    scheme.SetPassword(proxy.ProxyPassword());
  };
  auto keep = [&proxy](const TNetAuthentication& scheme) {
    proxy.SetProxyUsername(scheme.Username());
    proxy.SetProxyPassword(scheme.Password());
  };
  give(authentication);
  authentication.SetChallenges(challenges);
  // With the password gone, a scheme that retries whenever it has a user name
  // would send an empty password; the handler is asked first.
  return RunAuthSteps(authentication, OnProxyAuthorization, give, keep, true);
}

void TNetCustomHTTP::DoOnDisconnected() {
  TNetTCPClient::DoOnDisconnected();
  connection_use_.clear();
  TNetHTTPRequest& request = Request();
  TNetAuthentication* authenticator = request.Authenticator();
  if (authenticator != nullptr && authenticator->CurrentStep() == authenticator->StepCount()) {
    if (authentication_manager_ != nullptr) authentication_manager_->AddAuthentication(*authenticator, *target_uri_);
    request.SetAuthenticator(nullptr);
  }
  if (proxy_params_->Authenticator() != nullptr) proxy_params_->Authenticator()->Reset();
}

}  // namespace meridian::net
