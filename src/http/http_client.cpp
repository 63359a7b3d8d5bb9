#include "http/http_client.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

#include "auth/authentication.h"
#include "headers/header_list.h"
#include "http/authentication_manager.h"
#include "http/body_decoder.h"
#include "http/cookie_manager.h"
#include "http/http_protocol.h"
#include "http/path_merge.h"
#include "http/proxy_connection_info.h"
#include "net/exceptions.h"
#include "rtl/streams.h"
#include "rtl/text.h"
#include "transport/io_handler_socket.h"
#include "transport/net_stack.h"
#include "transport/tls/openssl_digest.h"
#include "transport/tls/ssl_io_handler_socket.h"
#include "uri/uri.h"

namespace meridian::net {

namespace {

bool HasLineBreak(std::string_view text) {
  return text.find('\r') != std::string_view::npos || text.find('\n') != std::string_view::npos;
}

// Room for a usual request head, so that composing it allocates once.
constexpr size_t kHeadReserve = 512;

// A raw CR or LF in anything that goes into the request line would let the
// URL's author add header lines or whole requests of their own.
void RejectLineBreaks(std::string_view target) {
  if (HasLineBreak(target)) throw ENetHTTPTargetLineBreak();
}

// The port text as a number, 0 when it is not a plain decimal number.
int32_t DecimalPort(const std::string& text) {
  if (text.empty() || text.size() > 9) return 0;
  int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

constexpr int32_t kMaxPort = 65535;

// The default port of a scheme the client speaks.
std::string DefaultPort(const std::string& protocol) {
  if (rtl::SameText(protocol, "http")) return "80";
  if (rtl::SameText(protocol, "https")) return "443";
  throw ENetUnknownProtocol();
}

// A scheme as RFC 3986 writes one: a letter, then letters, digits, "+", "-"
// or ".". Text before a "://" that is no scheme ("/next?to=http://...") makes
// the reference a relative one.
bool IsScheme(std::string_view text) {
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (text.empty() || !letter(text[0])) return false;
  return std::all_of(text.begin(), text.end(), [&](char c) {
    return letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
  });
}

// Bytes that may not stand in a request target as they are (blanks, control
// bytes, bytes from 0x7f up) go as percent escapes; everything else, escapes
// already made included, is left alone.
std::string EncodeTargetBytes(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto escaped = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f; };
  if (std::none_of(text.begin(), text.end(), escaped)) return text;
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (escaped(c)) {
      result += '%';
      result += kHex[byte >> 4];
      result += kHex[byte & 0x0f];
    } else {
      result += c;
    }
  }
  return result;
}

// Scheme, host and port of a target (letter case ignored), written into
// `origin`: where credentials belong.
void Origin(const TNetURI& uri, std::string& origin) {
  origin.assign(uri.Protocol()).append("://").append(TNetURI::AuthorityHost(uri.Host()));
  std::transform(origin.begin(), origin.end(), origin.begin(), rtl::LowerChar);
  origin.append(":").append(uri.Port());
}

// Appends the header lines to `head` as they go out: each with its
// continuation lines joined on by a single blank, so that no header is sent
// folded; empty lines left out. A line break left inside a line would end it
// early and let its text inject lines of its own: ENetHTTPHeaderLineBreak.
void AppendHeadLines(const TNetHeaderList& headers, std::string& head) {
  bool open = false;  // a line is written but not yet ended
  for (const std::string& line : headers.Lines()) {
    if (line.empty()) continue;
    std::string_view piece = line;
    if (TNetHeaderList::IsContinuationLine(line)) {
      // Not even the first line may start with a blank.
      piece = rtl::TrimmedView(line);
      if (piece.empty()) continue;
      if (open) head += ' ';
    } else if (open) {
      head += "\r\n";
    }
    if (HasLineBreak(piece)) throw ENetHTTPHeaderLineBreak();
    head += piece;
    open = true;
  }
  if (open) head += "\r\n";
}

}  // namespace

const char* HTTPMethodWord(TNetHTTPMethod method) {
  switch (method) {
    case hmHead: return "HEAD ";
    case hmGet: return "GET ";
    case hmPost: return "POST ";
    case hmOptions: return "OPTIONS ";
    case hmTrace: return "TRACE ";
    case hmPut: return "PUT ";
    case hmDelete: return "DELETE ";
    case hmConnect: return "CONNECT ";
  }
  return "GET ";
}

TNetCustomHTTP::TNetCustomHTTP(rtl::TComponent* owner)
    : TNetTCPClient(owner),
      target_uri_(std::make_unique<TNetURI>()),
      exchange_(std::make_unique<TNetHTTPProtocol>(*this, [this] { return protocol_version_; })),
      proxy_params_(std::make_unique<TNetProxyConnectionInfo>()),
      target_parse_(std::make_unique<TNetURI>()) {
  // Offered to servers that ask for it; OpenSSL is loaded only then.
  RegisterOpenSSLDigest();
  SetPort(80);
  proxy_params_->Clear();
}

TNetCustomHTTP::~TNetCustomHTTP() {
  // A store the client created is one of its owned components; it goes first,
  // while the client it reports to is still whole.
  DestroyComponents();
  if (cookie_manager_ != nullptr) cookie_manager_->RemoveFreeNotification(this);
  SetAuthenticationManager(nullptr);
}

void TNetCustomHTTP::Get(const std::string& url, rtl::TStream& body) {
  PerformRequest(hmGet, url, nullptr, &body);
}

std::string TNetCustomHTTP::Get(const std::string& url) {
  rtl::TMemoryStream body;
  Get(url, body);
  return body.DataString();
}

void TNetCustomHTTP::SetRequest(const TNetHTTPRequest& request) { Request().Assign(request); }

void TNetCustomHTTP::SetProxyParams(const TNetProxyConnectionInfo& params) { proxy_params_->Assign(params); }

void TNetCustomHTTP::SetHost(const std::string& host) {
  TNetTCPClient::SetHost(host);
  target_uri_->SetHost(host);
}

void TNetCustomHTTP::SetPort(int32_t port) {
  TNetTCPClient::SetPort(port);
  target_uri_->SetPort(std::to_string(port));
}

void TNetCustomHTTP::SetCookieManager(TNetCookieManager* manager) {
  if (manager == cookie_manager_) return;
  if (cookie_manager_ != nullptr) {
    TNetCookieManager* previous = cookie_manager_;
    cookie_manager_ = nullptr;
    previous->RemoveFreeNotification(this);
    FreeComponent(previous);
  }
  cookie_manager_ = manager;
  if (manager != nullptr) manager->FreeNotification(this);
}

void TNetCustomHTTP::Notification(rtl::TComponent* component, rtl::TOperation operation) {
  TNetTCPClient::Notification(component, operation);
  if (operation == rtl::opRemove && component == cookie_manager_) cookie_manager_ = nullptr;
  if (operation == rtl::opRemove && component == authentication_manager_) authentication_manager_ = nullptr;
}

bool TNetCustomHTTP::OfferRedirect(std::string& location, TNetHTTPMethod& method, int32_t redirect_count) {
  bool handled = HandleRedirects();
  if (OnRedirect) {
    int32_t count = redirect_count;
    OnRedirect(this, location, count, handled, method);
  }
  return handled;
}

void TNetCustomHTTP::PerformRequest(TNetHTTPMethod method, const std::string& url, rtl::TStream* source,
                                    rtl::TStream* body) {
  RejectLineBreaks(url);
  const int64_t start = body != nullptr ? body->Position() : 0;
  server_auth_attempts_ = 0;
  proxy_auth_attempts_ = 0;
  credentials_origin_.clear();
  body_dropped_ = false;
  TNetHTTPRequest& request = Request();
  TNetHTTPResponse& response = Response();
  request.SetTarget(url);
  request.SetMethod(method);
  request.SetUploadStream(source);
  response.SetBodyStream(body);

  try {
    for (bool done = false; !done;) {
      ++redirect_count_;
      ResolveTarget(request);
      SendAndReadHead(request, response);
      switch (FinishPass(request, response)) {
        case peRetryAuth:
          --redirect_count_;  // an authentication pass does not count
          // The answer goes to the URL that challenged, which after a
          // redirect is not the one the caller gave.
          request.SetTarget(target_uri_->ComposeURI({}));
          break;
        case peFollow:
          if (body != nullptr) {
            body->SetSize(start);
            body->SetPosition(start);
          }
          // A redirect starts the challenge count afresh. A challenge answered
          // on a connection the server closed keeps its count, so a server
          // that challenges forever meets the AuthRetries bound.
          if (response.StatusCode() != 401 && response.StatusCode() != 407) {
            server_auth_attempts_ = 0;
            proxy_auth_attempts_ = 0;
          }
          break;
        case peDone:
          done = true;
          break;
        case peUndecided:
          throw ENetHTTPUndefinedSituation();
      }
    }
  } catch (...) {
    try {
      FinishRequest();
    } catch (const std::exception&) {
      // The failure of the request is what the caller needs to see.
    }
    throw;
  }
  FinishRequest();
}

void TNetCustomHTTP::SendAndReadHead(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  for (int32_t attempt = 1;; ++attempt) {
    connected_anew_ = false;
    bool answered = false;
    try {
      OpenExchange(request, response);
      ReadResponseHead(response, &answered);
      return;
    } catch (const ENetConnClosedGracefully&) {
      if (answered || connected_anew_ || attempt > 1) throw;
    } catch (const ENetSocketError& e) {
      const int32_t error = e.LastError();
      const bool lost = error == kWSAECONNRESET || error == kWSAECONNABORTED || error == kWSAESHUTDOWN;
      if (!lost || answered || connected_anew_ || attempt > 1) throw;
    }
    // A kept-alive connection that the server closed while it was idle fails
    // the first send or read, before any answer: the request never reached
    // the server, so it goes once more, on a new connection.
    Disconnect();
    if (MethodSendsBody(request.Method())) RewindUpload(request);
  }
}

void TNetCustomHTTP::FinishRequest() {
  redirect_count_ = 0;
  if (!Response().ConnectionReusable()) Disconnect();
}

void TNetCustomHTTP::TrustCredentialsForTarget() {
  Origin(*target_uri_, credentials_origin_);
  withhold_credentials_ = false;
}

void TNetCustomHTTP::ResolveTarget(TNetHTTPRequest& request) {
  RejectLineBreaks(request.Target());
  TNetURI& target = *target_uri_;
  const std::string current_protocol = target.Protocol().empty() ? "http" : target.Protocol();
  // The target as the parser sees it: backslashes made slashes, written out
  // anew below where it must be.
  std::string_view text = request.Target();
  std::string rewritten;
  if (text.find('\\') != std::string_view::npos) {
    rewritten = text;
    TNetURI::NormalizeSlashes(rewritten);
    text = rewritten;
  }
  const size_t scheme_end = text.find("://");
  if (text.starts_with("//")) {
    // A network-path reference names a host and keeps the current scheme.
    rewritten = current_protocol + ":" + std::string(text);
    text = rewritten;
  } else if (scheme_end != std::string_view::npos && !IsScheme(text.substr(0, scheme_end))) {
    // A "://" inside a relative reference (in its query, say) must not make
    // the parser take the text before it for a scheme: the reference is
    // written out in full against the current target first.
    const std::string base = current_protocol + "://" + TNetURI::AuthorityHost(target.Host()) + ":" + target.Port();
    rewritten = text.starts_with("/") ? base + std::string(text) : base + target.Path() + std::string(text);
    text = rewritten;
  }
  TNetURI& url = *target_parse_;
  url.SetURI(text);
  const bool absolute = !url.Protocol().empty();
  if (absolute) {
    // Only the schemes this client speaks, to a named host and a real port:
    // anything else is refused before a byte is sent.
    if (!rtl::SameText(url.Protocol(), "http") && !rtl::SameText(url.Protocol(), "https")) {
      throw ENetUnknownProtocol();
    }
    if (url.Host().empty()) throw ENetURIMissingHost();
    const int32_t port = DecimalPort(url.Port());
    if (!url.Port().empty() && (port < 1 || port > kMaxPort)) throw ENetURIInvalidPort();
  }
  // Only the caller's own URL may bring credentials: user info in a Location
  // is the server's choice, and the request's credentials stay with the
  // origin they were given for.
  const bool callers_url = credentials_origin_.empty();
  if (callers_url && !url.Username().empty()) {
    request.SetUsername(url.Username());
    request.SetPassword(url.Password());
  }
  target.SetUsername(request.Username());
  target.SetPassword(request.Password());
  target.SetPath(EncodeTargetBytes(MergePath(target.Path(), url.Path())));
  target.SetDocument(EncodeTargetBytes(url.Document()));
  target.SetParams(EncodeTargetBytes(url.Params()));

  if (absolute) {
    target.SetHost(url.Host());
    target.SetProtocol(url.Protocol());
    // A URL that names its host and no port goes to its scheme's default
    // port, never to the port of whatever was asked before.
    target.SetPort(url.Port().empty() ? DefaultPort(url.Protocol()) : url.Port());
  } else {
    // A relative reference stays with the current scheme, host and port (of
    // the previous request, or of the Host and Port properties), unless that
    // port is one of the two defaults.
    target.SetProtocol(current_protocol);
    const int32_t carried = DecimalPort(target.Port());
    if (carried > kMaxPort) throw ENetURIInvalidPort();
    if (carried == 0 || carried == 80 || carried == 443) target.SetPort(DefaultPort(target.Protocol()));
  }

  request.SetTarget(target.Path() + target.Document() + target.Params());
  const TNetHTTPMethod method = request.Method();
  if (method == hmOptions && url.Document() == "*") request.SetTarget("*");

  if ((method == hmOptions || method == hmTrace || method == hmPut || method == hmDelete) &&
      protocol_version_ != pv1_1) {
    throw ENetHTTPMethodNeedsHTTP11();
  }
  int64_t length = -1;
  if (method == hmPost || method == hmPut) {
    // A POST or PUT without a source sends an empty body rather than failing.
    length = request.UploadStream() != nullptr ? request.UploadStream()->Size() : 0;
    // The length field holds 32 bits; a larger body would be announced wrong.
    if (length > std::numeric_limits<int32_t>::max()) throw ENetHTTPRequestBodyTooLarge();
  }
  request.SetContentLength(static_cast<int32_t>(length));
  // An IPv6 address goes in brackets, as in the URL.
  const std::string host = TNetURI::AuthorityHost(target.Host());
  request.SetHost(target.Port() == "80" ? host : host + ":" + target.Port());

  // The caller's URL decides where the request's credentials may go; a
  // redirect elsewhere must not carry them.
  if (callers_url) {
    Origin(target, credentials_origin_);
    withhold_credentials_ = false;
  } else {
    Origin(target, origin_);
    withhold_credentials_ = origin_ != credentials_origin_;
  }
}

TNetHTTPRoute TNetCustomHTTP::ChooseRoute() {
  ChooseProxy();
  TNetProxyConnectionInfo& proxy = *proxy_params_;
  const bool https = rtl::SameText(target_uri_->Protocol(), "HTTPS");
  TNetHTTPRoute route = rtDirect;
  if (!proxy.ProxyServer().empty()) {
    if ((!rtl::SameText(Host(), proxy.ProxyServer()) || Port() != proxy.ProxyPort()) && Connected()) {
      Disconnect();
    }
    // The connection goes to the proxy; the target URI keeps the server.
    TNetTCPClient::SetHost(proxy.ProxyServer());
    TNetTCPClient::SetPort(proxy.ProxyPort());
    route = https ? rtTLSProxy : rtProxy;
  } else {
    // ResolveTarget leaves a port of digits only.
    const int32_t port = DecimalPort(target_uri_->Port());
    if (!rtl::SameText(Host(), target_uri_->Host()) || Port() != port) {
      if (Connected()) Disconnect();
      SetHost(target_uri_->Host());
      SetPort(port);
    }
    route = https ? rtTLS : rtDirect;
  }

  // Without a TLS handler the request would go in plain text. The caller's
  // own handler of another kind is refused; the client's own is replaced.
  if (https && !TLSHandlerAttached()) {
    if (IOHandler() != nullptr && !FreeIOHandlerOnDisconnect()) throw ENetIOHandlerPropInvalid();
    if (Connected()) Disconnect();
  }
  // A kept-alive connection that carries something else is not reused: plain
  // bytes would go into a TLS session, TLS would start on a plain HTTP one,
  // or the request would reach the host of another tunnel.
  const std::string use = ConnectionUse(route);
  if (Connected() && !connection_use_.empty() && connection_use_ != use) Disconnect();
  const bool reuse = Connected() && connection_use_ == use;
  if (!reuse && TLSHandlerAttached()) SetTLSPassThrough(route != rtTLS);
  return route;
}

std::string TNetCustomHTTP::ConnectionUse(TNetHTTPRoute route) const {
  switch (route) {
    case rtTLS:
      return "tls";
    case rtTLSProxy:
      return "tunnel " + TNetURI::AuthorityHost(rtl::LowerCase(target_uri_->Host())) + ":" + target_uri_->Port();
    case rtDirect:
    case rtProxy:
      break;
  }
  return "plain";
}

bool TNetCustomHTTP::TLSHandlerAttached() const { return TLSHandler() != nullptr; }

void TNetCustomHTTP::SetTLSPassThrough(bool pass_through) {
  if (TNetSSLIOHandlerSocket* handler = TLSHandler()) handler->SetPassThrough(pass_through);
}

TNetSSLIOHandlerSocket* TNetCustomHTTP::TLSHandler() const {
  return dynamic_cast<TNetSSLIOHandlerSocket*>(IOHandler());
}

TNetIOHandlerSocket* TNetCustomHTTP::MakeIOHandler(bool tls) {
  // Owned by the client, so it ends at Disconnect.
  if (!tls) return rtl::MakeOwned<TNetIOHandlerSocket>(*this);
  auto* handler = rtl::MakeOwned<TNetSSLIOHandlerSocket>(*this);
  TNetSSLOptions& options = handler->SSLOptions();
  options.SetMode(sslmClient);
  options.SetVerifyMode(TNetSSLVerifyModeSet{sslvrfPeer});
  options.SetVerifyDepth(kDefaultVerifyDepth);
  return handler;
}

void TNetCustomHTTP::PrepareIOHandler(TNetHTTPRoute route) {
  const bool tls = route == rtTLS || route == rtTLSProxy;
  // The client's own handler of the last connection, of the wrong kind, goes.
  if (IOHandler() != nullptr && FreeIOHandlerOnDisconnect() && tls != TLSHandlerAttached()) Disconnect();
  if (IOHandler() != nullptr) return;
  // A subclass that carries TLS by its own means gets a plain handler.
  TNetIOHandlerSocket* handler = MakeIOHandler(tls && !TLSHandlerAttached());
  SetIOHandler(handler);
  if (!handler->OnStatus) handler->OnStatus = OnStatus;
  // TLS goes on at once to a server, and inside a tunnel once it is open.
  if (TNetSSLIOHandlerSocket* tls_handler = TLSHandler()) tls_handler->SetPassThrough(route != rtTLS);
}

void TNetCustomHTTP::OpenExchange(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  request.SetRoute(ChooseRoute());
  response.SetHeadRequest(request.Method() == hmHead);
  if (request.Route() == rtProxy) request.SetTarget(target_uri_->URI());

  switch (request.Route()) {
    case rtDirect:
      if (protocol_version_ == pv1_0 && request.Connection().empty()) request.SetConnection("keep-alive");
      break;
    case rtTLS:
    case rtTLSProxy:
      request.SetConnection("");
      break;
    case rtProxy:
      if (protocol_version_ == pv1_0 && request.Connection().empty()) request.SetProxyConnection("keep-alive");
      break;
  }

  const std::string use = ConnectionUse(request.Route());
  if (request.Route() == rtTLSProxy) {
    // An open tunnel to the same host and port carries the next request too.
    if (!response.ConnectionReusable()) Disconnect();
    if (Connected()) CheckForGracefulDisconnect(false);
    if (!Connected() || connection_use_ != use) BuildTunnel(request);
  } else {
    EnsureConnected(response);
  }
  connection_use_ = use;
  SendRequestHead(request, target_uri_.get());
  if ((request.Method() == hmPost || request.Method() == hmPut) && request.UploadStream() != nullptr) {
    WriteStream(*request.UploadStream());
  }
}

void TNetCustomHTTP::BuildTunnel(TNetHTTPRequest& request) {
  TNetHTTPProtocol tunnel(*this, [this] { return protocol_version_; });
  TNetHTTPRequest& connect = tunnel.Request();
  TNetHTTPResponse& answer = tunnel.Response();
  connect.SetUserAgent(request.UserAgent());
  connect.SetHost(request.Host());
  connect.SetContentLength(request.ContentLength());
  connect.SetPragma("no-cache");
  connect.SetTarget(TNetURI::AuthorityHost(target_uri_->Host()) + ":" + target_uri_->Port());
  connect.SetMethod(hmConnect);
  connect.SetProxyConnection("keep-alive");
  rtl::TMemoryStream body;
  answer.SetBodyStream(&body);

  // Each round answers one challenge or redirect of the proxy; a proxy that
  // never says 200 is refused once those bounds are spent.
  const int32_t max_rounds = 2 * auth_retries_ + redirect_maximum_ + 1;
  for (int32_t round = 1;; ++round) {
    EnsureConnected(answer);
    SendRequestHead(connect, nullptr);
    answer.ReadStatusLine(true);
    if (answer.StatusLine().empty()) {
      // Some proxies open the tunnel without a word.
      answer.SetStatusLine("HTTP/1.0 200 OK");
      answer.SetConnection("close");
    } else {
      answer.ReadResponseHead();
      StoreCookies(answer);
    }
    if (answer.StatusCode() == 200) break;
    try {
      FinishPass(connect, answer);
    } catch (const ENetHTTPProtocolException& e) {
      throw ENetHTTPTunnelStatus(e.ReplyErrorCode(), e.Message(), e.ResponseBody());
    }
    if (round >= max_rounds) throw ENetHTTPTunnelRefused();
  }
  // The certificate inside the tunnel must be the target's, not the proxy's.
  if (TNetSSLIOHandlerSocket* handler = TLSHandler()) handler->SetHostName(target_uri_->Host());
  SetTLSPassThrough(false);
}

void TNetCustomHTTP::EnsureConnected(TNetHTTPResponse& response) {
  if (!response.ConnectionReusable()) Disconnect();
  CheckForGracefulDisconnect(false);
  // Bytes that came before the request was sent answer no request of ours.
  if (Connected() && InputBuffer().Size() > 0) Disconnect();
  if (!Connected()) {
    PrepareIOHandler(Request().Route());
    connected_anew_ = true;
    Connect(ReadTimeout());
  }
}

void TNetCustomHTTP::SendRequestHead(TNetHTTPRequest& request, const TNetURI* uri) {
  // Schemes whose answer depends on the request (Digest) compute it now.
  const bool to_proxy = !proxy_params_->ProxyServer().empty() && (uri == nullptr || request.Route() == rtProxy);
  std::string_view method = HTTPMethodWord(request.Method());
  method.remove_suffix(1);
  if (request.Authenticator() != nullptr) request.Authenticator()->BeginRequest(method, request.Target());
  if (to_proxy && proxy_params_->Authenticator() != nullptr) {
    proxy_params_->Authenticator()->BeginRequest(method, request.Target());
  }
  request.ComposeHeaders();
  TNetHeaderList& headers = request.WireHeaders();
  if (body_dropped_ && !MethodSendsBody(request.Method())) {
    while (headers.FindName("Content-Type") >= 0) headers.SetValue("Content-Type", "");
  }
  if (withhold_credentials_) {
    // Another origin gets neither the credentials nor the cookies the caller
    // set as header lines of their own; the store's cookies for it follow.
    for (const char* name : {"Authorization", "Cookie"}) {
      while (headers.FindName(name) >= 0) headers.SetValue(name, "");
    }
  }
  // Proxy credentials go to a configured proxy only: with the request it
  // forwards, or with the CONNECT that opens a tunnel (no URI), never inside
  // the tunnel nor straight to a server.
  if (to_proxy) proxy_params_->ComposeHeaders(headers);
  if (uri != nullptr) AttachCookies(*uri, request);
  if (uri != nullptr && decode_content_ && headers.FindName("Accept-Encoding") < 0) {
    headers.SetValue("Accept-Encoding", kDecodedCodings);
  }

  // The head leaves in one piece.
  std::string& head = head_;
  head.clear();
  head.reserve(kHeadReserve);
  head.append(HTTPMethodWord(request.Method())).append(request.Target());
  head.append(" HTTP/").append(HTTPProtocolVersionText(protocol_version_));
  RejectLineBreaks(head);
  head += "\r\n";
  AppendHeadLines(headers, head);
  head += "\r\n";
  Write(head);
}

void TNetCustomHTTP::ReadResponseHead(TNetHTTPResponse& response, bool* answered) {
  // Interim answers (100 Continue, 103 Early Hints...) precede the final one;
  // the response bounds the bytes of the whole run.
  do {
    response.ReadStatusLine();
    if (answered != nullptr) *answered = true;
    response.ReadResponseHead();
    StoreCookies(response);
  } while (response.IsInterim());
}

void TNetCustomHTTP::AttachCookies(const TNetURI& uri, TNetHTTPRequest& request) {
  if (cookie_manager_ == nullptr) return;
  // Secure cookies go only inside TLS, never over plain HTTP on a client that
  // also has a TLS handler.
  const bool secure = request.Route() == rtTLS || request.Route() == rtTLSProxy;
  const std::string value = cookie_manager_->CookieHeaderFor(uri, secure);
  if (!value.empty()) request.WireHeaders().SetValue("Cookie", value);
}

void TNetCustomHTTP::StoreCookies(TNetHTTPResponse& response) {
  if (cookie_manager_ == nullptr && allow_cookies_) {
    SetCookieManager(rtl::MakeOwned<TNetCookieManager>(*this));
  }
  if (cookie_manager_ == nullptr) return;
  rtl::TStringList set_cookie;
  rtl::TStringList set_cookie2;
  response.WireHeaders().CollectValues("Set-cookie", &set_cookie);
  response.WireHeaders().CollectValues("Set-cookie2", &set_cookie2);
  for (const std::string& value : set_cookie.Lines()) {
    cookie_manager_->AcceptSetCookie(value, target_uri_->Host());
  }
  for (const std::string& value : set_cookie2.Lines()) {
    cookie_manager_->AcceptSetCookie2(value, target_uri_->Host());
  }
}

}  // namespace meridian::net
