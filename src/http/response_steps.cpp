// What the HTTP client does after each response head: offers redirects,
// answers challenges, and reads, drains or skips the body. All reading of a
// body happens here, on the client's connection.
#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "auth/authentication.h"
#include "http/body_decoder.h"
#include "http/http_client.h"
#include "http/http_protocol.h"
#include "http/proxy_connection_info.h"
#include "http/redirect_method.h"
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

// A read of its own, `ms` long, under the connection's deadline: the earlier
// of the two bounds the read, and the connection's deadline comes back after.
class LocalDeadline {
 public:
  LocalDeadline(TNetTCPConnection& connection, int32_t ms)
      : connection_(connection), outer_(connection.Deadline()), own_(TNetDeadline::In(ms)) {
    connection_.SetDeadline(TNetDeadline::Earlier(own_, outer_));
  }
  ~LocalDeadline() { connection_.SetDeadline(outer_); }
  LocalDeadline(const LocalDeadline&) = delete;
  LocalDeadline& operator=(const LocalDeadline&) = delete;

  // The read's own bound has passed, and it came before the connection's:
  // a time-out now is the read's, not the caller's.
  bool OwnPassed() const { return own_.Passed() && (!outer_.IsSet() || own_.When() < outer_.When()); }
  // The connection's deadline has passed.
  bool OuterPassed() const { return outer_.Passed(); }

 private:
  TNetTCPConnection& connection_;
  const TNetDeadline outer_;
  const TNetDeadline own_;
};

}  // namespace

TNetHTTPStepLimits TNetCustomHTTP::StepLimits(const TNetHTTPRequest& request) const {
  TNetHTTPStepLimits limits;
  limits.handle_redirects = HandleRedirects();
  limits.redirect_count = redirect_count_;
  limits.redirect_maximum = RedirectMaximum();
  limits.auth_retries = AuthRetries();
  limits.server_auth_attempts = server_auth_attempts_;
  limits.proxy_auth_attempts = proxy_auth_attempts_;
  // A server's 407, straight or through a tunnel, is an error page and gets
  // no proxy credentials.
  limits.via_proxy = !proxy_params_->ProxyServer().empty() &&
                     (request.Route() == rtProxy || request.Method() == hmConnect);
  return limits;
}

TNetCustomHTTP::TPassEnd TNetCustomHTTP::FinishPass(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  const TNetHTTPNextStep step = DecideNextStep(response, StepLimits(request));
  switch (step) {
    case nsRedirect:
    case nsFinalRedirect: {
      std::string location = response.Location();
      const TNetHTTPMethod previous = request.Method();
      TNetHTTPMethod method = RedirectedMethod(previous, response.StatusCode(), redirect_method_rules_);
      if (!OfferRedirect(location, method, redirect_count_)) FailWithStatus(response);
      if (step == nsRedirect) {
        request.SetTarget(location);
        request.SetMethod(method);
        if (MethodSendsBody(previous) && !MethodSendsBody(method)) body_dropped_ = true;
      } else {
        response.SetLocation(location);
      }
      if (Connected()) DrainQuietly(response);
      if (step == nsRedirect && MethodSendsBody(method)) RewindUpload(request);
      return step == nsRedirect ? peFollow : peDone;
    }
    case nsAnswerServer:
    case nsAnswerProxy: {
      const bool server = step == nsAnswerServer;
      if (!(server ? AnswerServerChallenge(request, response) : AnswerProxyChallenge(request, response))) break;
      // The program answered this host's challenge: its credentials may go there.
      if (server) TrustCredentialsForTarget();
      if (!Connected()) return peFollow;
      if (HTTPOptions().Contains(hoInProcessAuth)) {
        DrainQuietly(response);
        return peRetryAuth;
      }
      ReadFinalBody(response);
      return peDone;
    }
    case nsDone:
      if (!Connected()) return peUndecided;
      ReadFinalBody(response);
      return peDone;
    case nsFail:
      break;
  }
  // A challenge left unanswered starts its scheme over next time.
  const int32_t code = response.StatusCode();
  TNetAuthentication* scheme = code == 401                                     ? request.Authenticator()
                               : code == 407 && StepLimits(request).via_proxy ? ProxyParams().Authenticator()
                                                                               : nullptr;
  if (scheme != nullptr) scheme->Reset();
  FailWithStatus(response);
}

void TNetCustomHTTP::RewindUpload(TNetHTTPRequest& request) {
  rtl::TStream* upload = request.UploadStream();
  if (upload == nullptr) return;
  // The next pass sends the body from its start; a stream that cannot go
  // back there would send less than its Content-Length announces.
  bool rewound = false;
  try {
    rewound = upload->Seek(0, rtl::soBeginning) == 0;
  } catch (const std::exception&) {
    rewound = false;
  }
  if (!rewound) throw ENetHTTPUploadNotRewindable();
}

void TNetCustomHTTP::DrainQuietly(TNetHTTPResponse& response) {
  rtl::TStream* saved_stream = response.BodyStream();
  LocalDeadline deadline(*this, kDrainTimeout);
  OnExit restore([&] { response.SetBodyStream(saved_stream); });
  try {
    BoundedSink sink(kMaxDrainBytes, nullptr);
    response.SetBodyStream(&sink);
    response.ReadBody();
  } catch (const SinkBoundCrossed&) {
    // Too long to be worth the connection.
    Disconnect();
  } catch (const ENetReadTimeout&) {
    // The drain's own time is up (the connection is closed by now); a time-out
    // of the caller's, a shorter ReadTimeout or its deadline, is theirs to see.
    if (!deadline.OwnPassed()) throw;
  } catch (const ENetException&) {
    // The body of a redirect or a challenge is of no use; a failure to read it
    // only costs the connection, which ConnectionReusable then refuses. Any
    // other failure (the caller's own, raised from an event) goes on.
  }
}

void TNetCustomHTTP::FailWithStatus(TNetHTTPResponse& response) {
  const int32_t code = response.StatusCode();
  switch (ErrorPageUse(response)) {
    case epSkip:
      Disconnect();
      throw ENetHTTPProtocolException(code, response.StatusLine(), "");
    case epToBody:
      ReadFinalBody(response);
      throw ENetHTTPProtocolException(code, response.StatusLine(), "");
    case epKeepPrefix:
      break;
  }
  std::string page;
  {
    const int32_t saved_timeout = ReadTimeout();
    rtl::TStream* saved_stream = response.BodyStream();
    SetReadTimeout(kFailBodyTimeout);
    LocalDeadline deadline(*this, kFailBodyTimeout);
    OnExit restore([&] {
      response.SetBodyStream(saved_stream);
      SetReadTimeout(saved_timeout);
    });
    try {
      BoundedSink sink(kMaxErrorPageBytes, &page);
      // A page the client asked to get compressed is kept decoded, within
      // the same bound; one that cannot be decoded is kept as it came.
      std::unique_ptr<TNetBodyDecoder> decoder;
      if (decode_content_) {
        try {
          decoder = std::make_unique<TNetBodyDecoder>(response.WireHeaders(), sink);
        } catch (const ENetContentDecodingError&) {
        }
      }
      response.SetBodyStream(decoder ? &decoder->Input() : &sink);
      response.ReadBody();
      if (decoder) decoder->Finish();
    } catch (const ENetContentDecodingError&) {
      // What was decoded stays; the rest of the page is not worth the connection.
      Disconnect();
    } catch (const SinkBoundCrossed&) {
      // The page keeps its first bytes; the rest is not read.
      Disconnect();
    } catch (const ENetReadTimeout&) {
      // The page's own bounds leave the status the answer; the caller's
      // deadline ends the request as a time-out like any other step.
      if (deadline.OuterPassed()) throw;
      Disconnect();
    }
  }
  throw ENetHTTPProtocolException(code, response.StatusLine(), std::move(page));
}

void TNetCustomHTTP::ReadFinalBody(TNetHTTPResponse& response) {
  // One work frame for the whole body, however many reads its framing
  // takes, so that progress runs from 0 to the announced length once.
  const int32_t length = response.ContentLength();
  BeginWork(wmRead, length > 0 ? length : 0);
  OnExit end_work([&] { EndWork(wmRead); });
  if (!decode_content_ || response.BodyStream() == nullptr) {
    response.ReadBody();  // reads none for 204, 304 and HEAD
    return;
  }
  rtl::TStream* sink = response.BodyStream();
  TNetBodyDecoder decoder(response.WireHeaders(), *sink);
  response.SetBodyStream(&decoder.Input());
  OnExit restore([&] { response.SetBodyStream(sink); });
  response.ReadBody();
  decoder.Finish();
}

void TNetCustomHTTP::SetDecodeContent(bool decode) {
  if (decode && !TNetInflateStream::Available()) {
    throw ENetContentDecodingError("Content decoding is not available in this build");
  }
  decode_content_ = decode;
}

}  // namespace meridian::net
