#include "http/http_protocol.h"

#include <utility>

#include "auth/authentication.h"
#include "http/http_client.h"
#include "http/proxy_connection_info.h"
#include "net/exceptions.h"
#include "rtl/streams.h"

namespace meridian::net {

namespace {

// Time bounds for reading a body that nobody will see: the error page of a
// failed status and the body of a redirect or an answered challenge.
constexpr int32_t kFailBodyTimeout = 2000;
constexpr int32_t kDrainTimeout = 4000;

// Runs a clean-up step on every road out of a scope.
template <typename Step>
class OnExit {
 public:
  explicit OnExit(Step step) : step_(std::move(step)) {}
  ~OnExit() { step_(); }
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;

 private:
  Step step_;
};

}  // namespace

TNetHTTPProtocol::TNetHTTPProtocol(TNetCustomHTTP* client)
    : client_(client),
      request_(std::make_unique<TNetHTTPRequest>(client)),
      response_(std::make_unique<TNetHTTPResponse>(
          client, [client] { return client->ProtocolVersion(); })) {}

TNetHTTPProtocol::~TNetHTTPProtocol() = default;

void TNetHTTPProtocol::DrainQuietly() {
  const int32_t saved_timeout = client_->ReadTimeout();
  client_->SetReadTimeout(kDrainTimeout);
  OnExit restore([&] { client_->SetReadTimeout(saved_timeout); });
  try {
    response_->DrainBody();
  } catch (const std::exception&) {
    // The body of a redirect or a challenge is of no use; a failure to read it
    // only costs the connection, which ConnectionReusable then refuses.
  }
}

void TNetHTTPProtocol::FailWithStatus() {
  rtl::TMemoryStream page;
  {
    const int32_t saved_timeout = client_->ReadTimeout();
    rtl::TStream* saved_stream = response_->BodyStream();
    client_->SetReadTimeout(kFailBodyTimeout);
    response_->SetBodyStream(&page);
    OnExit restore([&] {
      response_->SetBodyStream(saved_stream);
      client_->SetReadTimeout(saved_timeout);
    });
    response_->ReadBody();
  }
  throw ENetHTTPProtocolException(response_->StatusCode(), response_->StatusLine(), page.DataString());
}

namespace {

// Whether a 407 to `request` comes from a configured proxy: one that forwards
// the request or is asked for a tunnel. A server's 407, straight or through a
// tunnel, is an error page and gets no proxy credentials.
bool FromProxy(const TNetCustomHTTP& client, const TNetHTTPRequest& request) {
  return !client.ProxyParams().ProxyServer().empty() &&
         (request.Route() == rtProxy || request.Method() == hmConnect);
}

}  // namespace

TNetHTTPNextStep TNetHTTPProtocol::DecideNextStep() {
  TNetCustomHTTP& client = *client_;
  TNetHTTPNextStep step = nsUndecided;
  const int32_t code = response_->StatusCode();
  const int32_t kind = code / 100;

  if ((kind == 3 && code != 304) || !response_->Location().empty()) {
    std::string location = response_->Location();
    TNetHTTPMethod method = request_->Method();
    if (client.HandleRedirects() && client.redirect_count_ < client.RedirectMaximum()) {
      if (!client.OfferRedirect(location, method, client.redirect_count_)) FailWithStatus();
      step = nsFollow;
      request_->SetTarget(location);
      request_->SetMethod(method);
    } else {
      step = nsDone;
      if (!client.OfferRedirect(location, method, client.redirect_count_)) FailWithStatus();
      response_->SetLocation(location);
    }
    if (client.Connected()) DrainQuietly();
    return step;
  }

  bool retry_now = false;
  if (kind != 2) {
    step = nsFollow;
    if (code == 401) {
      if (client.server_auth_attempts_ < client.AuthRetries() &&
          client.AnswerServerChallenge(*request_, *response_)) {
        retry_now = client.HTTPOptions().Contains(hoInProcessAuth);
        // The program answered this host's challenge: its credentials may go there.
        client.TrustCredentialsForTarget();
      } else {
        if (request_->Authenticator() != nullptr) request_->Authenticator()->Reset();
        FailWithStatus();
      }
    } else if (code == 407 && FromProxy(client, *request_)) {
      TNetProxyConnectionInfo& proxy = client.ProxyParams();
      if (client.proxy_auth_attempts_ < client.AuthRetries() &&
          client.AnswerProxyChallenge(*request_, *response_)) {
        retry_now = client.HTTPOptions().Contains(hoInProcessAuth);
      } else {
        if (proxy.Authenticator() != nullptr) proxy.Authenticator()->Reset();
        FailWithStatus();
      }
    } else {
      FailWithStatus();
    }
  }

  if (client.Connected()) {
    if (retry_now) {
      DrainQuietly();
      step = nsRetryAuth;
    } else {
      // One work frame for the whole body, however many reads its framing
      // takes, so that progress runs from 0 to the announced length once.
      const int32_t length = response_->ContentLength();
      client.BeginWork(wmRead, length > 0 ? length : 0);
      OnExit end_work([&] { client.EndWork(wmRead); });
      response_->ReadBody();  // reads none for 204, 304 and HEAD
      step = nsDone;
    }
  }
  return step;
}

}  // namespace meridian::net
