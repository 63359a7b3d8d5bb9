#include "http/http_protocol.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "auth/authentication.h"
#include "http/http_client.h"
#include "http/proxy_connection_info.h"
#include "net/exceptions.h"
#include "rtl/streams.h"

namespace meridian::net {

namespace {

// Time bounds for reading a body that nobody will see: the error page of a
// failed status and the body of a redirect or an answered challenge. Each
// bounds the whole read, not only each wait, so a peer that trickles bytes
// cannot stretch it.
constexpr int32_t kFailBodyTimeout = 2000;
constexpr int32_t kDrainTimeout = 4000;

// The most of a redirect's or a challenge's body that is read to keep the
// connection; a longer one costs the connection instead.
constexpr int64_t kMaxDrainBytes = 64 * 1024;

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

// Raised by BoundedSink once its bound is crossed; never leaves this unit.
struct SinkBoundCrossed {};

// Takes a body that is read only in part: keeps up to `limit` bytes (into
// `kept` when given) and raises SinkBoundCrossed once more arrive.
class BoundedSink : public rtl::TStream {
 public:
  BoundedSink(int64_t limit, std::string* kept) : limit_(limit), kept_(kept) {}

  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t room = std::max<int64_t>(0, limit_ - taken_);
    const int64_t keep = std::min(count, room);
    if (kept_ != nullptr) kept_->append(static_cast<const char*>(buffer), static_cast<size_t>(keep));
    taken_ += keep;
    position_ += count;
    size_ = std::max(size_, position_);
    if (count > room) throw SinkBoundCrossed();
    return count;
  }
  int64_t Seek(int64_t offset, rtl::TSeekOrigin origin) override {
    position_ = (origin == rtl::soBeginning ? 0 : origin == rtl::soCurrent ? position_ : size_) + offset;
    return position_;
  }
  int64_t Size() override { return size_; }
  void SetSize(int64_t size) override { size_ = size; }

 private:
  const int64_t limit_;
  std::string* kept_;
  int64_t taken_ = 0;
  int64_t position_ = 0;
  int64_t size_ = 0;
};

}  // namespace

TNetHTTPProtocol::TNetHTTPProtocol(TNetCustomHTTP* client)
    : client_(client),
      request_(std::make_unique<TNetHTTPRequest>(client)),
      response_(std::make_unique<TNetHTTPResponse>(
          client, [client] { return client->ProtocolVersion(); })) {}

TNetHTTPProtocol::~TNetHTTPProtocol() = default;

void TNetHTTPProtocol::DrainQuietly() {
  rtl::TStream* saved_stream = response_->BodyStream();
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDrainTimeout);
  client_->read_end_ = end;
  OnExit restore([&] {
    response_->SetBodyStream(saved_stream);
    client_->read_end_.reset();
  });
  try {
    BoundedSink sink(kMaxDrainBytes, nullptr);
    response_->SetBodyStream(&sink);
    response_->ReadBody();
  } catch (const SinkBoundCrossed&) {
    // Too long to be worth the connection.
    client_->Disconnect();
  } catch (const ENetReadTimeout&) {
    // The drain's own time is up; a shorter time-out of the caller's that
    // struck first is the caller's to see.
    if (std::chrono::steady_clock::now() < end) throw;
    client_->Disconnect();
  } catch (const ENetException&) {
    // The body of a redirect or a challenge is of no use; a failure to read it
    // only costs the connection, which ConnectionReusable then refuses. Any
    // other failure (the caller's own, raised from an event) goes on.
  }
}

void TNetHTTPProtocol::FailWithStatus() {
  const int32_t code = response_->StatusCode();
  switch (client_->ErrorPageUse(*response_)) {
    case epSkip:
      client_->Disconnect();
      throw ENetHTTPProtocolException(code, response_->StatusLine(), "");
    case epToBody:
      ReadFinalBody();
      throw ENetHTTPProtocolException(code, response_->StatusLine(), "");
    case epKeepPrefix:
      break;
  }
  std::string page;
  {
    const int32_t saved_timeout = client_->ReadTimeout();
    rtl::TStream* saved_stream = response_->BodyStream();
    client_->SetReadTimeout(kFailBodyTimeout);
    client_->read_end_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFailBodyTimeout);
    OnExit restore([&] {
      response_->SetBodyStream(saved_stream);
      client_->SetReadTimeout(saved_timeout);
      client_->read_end_.reset();
    });
    try {
      BoundedSink sink(kMaxErrorPageBytes, &page);
      response_->SetBodyStream(&sink);
      response_->ReadBody();
    } catch (const SinkBoundCrossed&) {
      // The page keeps its first bytes; the rest is not read.
      client_->Disconnect();
    } catch (const ENetReadTimeout&) {
      // Every wait here is the page's own bound: the status stays the answer.
      client_->Disconnect();
    }
  }
  throw ENetHTTPProtocolException(code, response_->StatusLine(), std::move(page));
}

void TNetHTTPProtocol::ReadFinalBody() {
  // One work frame for the whole body, however many reads its framing
  // takes, so that progress runs from 0 to the announced length once.
  const int32_t length = response_->ContentLength();
  client_->BeginWork(wmRead, length > 0 ? length : 0);
  OnExit end_work([&] { client_->EndWork(wmRead); });
  response_->ReadBody();  // reads none for 204, 304 and HEAD
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

  // A redirect is a response that says where to go. A 3xx without a Location
  // leads nowhere: it is the final answer, failed with its status below.
  if (!response_->Location().empty()) {
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
      ReadFinalBody();
      step = nsDone;
    }
  }
  return step;
}

}  // namespace meridian::net
