// The blocking HTTP/1.0 and HTTP/1.1 client component: one call sends a
// request, follows redirects when asked to, and reads the body into a stream.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "auth/authentication.h"
#include "http/http_protocol.h"
#include "http/http_request.h"
#include "http/http_response.h"
#include "http/redirect_method.h"
#include "transport/tcp_client.h"

namespace meridian::rtl {
class TStream;
}

namespace meridian::net {

class TNetAuthenticationManager;
class TNetCookieManager;
class TNetIOHandlerSocket;
class TNetProxyConnectionInfo;
class TNetSSLIOHandlerSocket;
class TNetURI;

// Offers a redirect to the program: it may change the location `dest`, the
// method and whether the redirect is taken (`Handled`); a changed
// `NumRedirect` has no effect.
using TNetHTTPOnRedirectEvent = std::function<void(rtl::TComponent* Sender, std::string& dest,
                                                   int32_t& NumRedirect, bool& Handled,
                                                   TNetHTTPMethod& VMethod)>;
// Lets the program pick another scheme for a challenge. `AuthenticationClass`
// is the registry's class of the first scheme the challenge lines `AuthInfo`
// name (see auth/authentication.h); setting it to nullptr refuses the
// challenge.
using TNetOnSelectAuthorization = std::function<void(
    rtl::TComponent* Sender, TNetAuthenticationClass& AuthenticationClass, const TNetHeaderList& AuthInfo)>;
// Asks the program for credentials; it fills them into `Authentication` and
// sets `Handled`. `Authentication` arrives holding the credentials the client
// has for the target (none for a host that a redirect led to).
using TNetOnAuthorization =
    std::function<void(rtl::TComponent* Sender, TNetAuthentication& Authentication, bool& Handled)>;

// The most of an error page that ENetHTTPProtocolException's ResponseBody
// keeps; a longer page is cut there and its connection closed.
inline constexpr int64_t kMaxErrorPageBytes = 1024 * 1024;

// What becomes of the page of a status that fails the request.
enum TNetErrorPageUse : uint8_t {
  epKeepPrefix,  // up to kMaxErrorPageBytes go into the exception's ResponseBody
  epToBody,      // read into the request's body stream like any body
  epSkip,        // left unread; the connection is closed
};

// The deepest chain position (0: the server's own certificate) that the TLS
// handler the client makes for an "https" URL accepts: room for the
// intermediate certificates real servers send, with a bound on the work.
inline constexpr int32_t kDefaultVerifyDepth = 10;

// The HTTP client. A TCP client whose Host and Port follow the URL of each
// request; the connection stays open between requests while the responses
// allow it. Owns its request and response records, its target URI, its proxy
// settings and a cookie store that it created itself; the streams given to a
// request are the caller's. Used by one thread at a time; every call blocks
// until the exchange ends, the connection's ReadTimeout strikes or its
// Deadline passes (which bounds the whole call, connect and redirects
// included).
class TNetCustomHTTP : public TNetTCPClient {
 public:
  explicit TNetCustomHTTP(rtl::TComponent* owner = nullptr);
  ~TNetCustomHTTP() override;

  std::string ClassName() const override { return "TNetCustomHTTP"; }

  // GET `url` and write the body into `body` from its position on.
  // Throws as PerformRequest.
  void Get(const std::string& url, rtl::TStream& body);
  // GET `url` and return the body bytes unchanged as text.
  // Throws as PerformRequest.
  std::string Get(const std::string& url);

  // The whole exchange: resolves `url` against the previous target, connects
  // (or reuses the open connection), sends the request head and, for POST and
  // PUT, the whole of `source`; then follows redirects and answered challenges
  // until a final response, whose body goes to `body` (none: not read).
  // Afterwards the connection is closed unless the response allows reuse.
  // The final body is read in one wmRead work frame whose size is its
  // Content-Length (0 when unknown); the upload in one wmWrite frame.
  // Credentials of the request (user name and password, BasicAuthentication,
  // the authenticator, "Authorization" and "Cookie" custom headers) go only
  // to the origin (scheme, host and port) of `url`; a redirect elsewhere goes
  // without them, unless that host challenges and OnAuthorization hands
  // credentials over for it. User info in a Location is not taken as
  // credentials. Proxy credentials go only to a configured proxy; a server's
  // 407 is an unhandled status.
  // A 401 or 407 is answered in place only with hoInProcessAuth in
  // HTTPOptions; without it an answered challenge ends the request quietly,
  // its page in `body` and the status in Response.
  // A URL or location that names a host and no port goes to its scheme's
  // default port; only a relative one keeps the current scheme, host and
  // port. A "//host/..." reference takes the current scheme. Blanks, control
  // bytes and bytes from 0x7f up in the target go as percent escapes.
  // A 3xx without a Location is a final answer, not a redirect. The retry
  // after an answered challenge goes to the URL that challenged.
  // Throws ENetHTTPProtocolException for an unhandled status outside 2xx (the
  // error page, as far as ErrorPageUse keeps it, in its ResponseBody or in
  // `body`). Before anything is sent: ENetHTTPTargetLineBreak for a URL or location holding CR or LF,
  // ENetHTTPHeaderLineBreak for such a header line, ENetHTTPMethodNeedsHTTP11,
  // ENetHTTPRequestBodyTooLarge for a source past 2 GiB - 1,
  // ENetUnknownProtocol for a scheme other than http and https,
  // ENetURIMissingHost for a URL with a scheme and no host,
  // ENetURIInvalidPort for a port outside 1 to 65535, and
  // ENetIOHandlerPropInvalid for https when the caller attached an I/O
  // handler that is no TLS handler. Without an attached handler, each
  // connection gets one of its own (MakeIOHandler). A kept-alive connection
  // is reused only for the same kind of traffic: plain HTTP, TLS to the
  // same server, or a tunnel to the same host and port. Then
  // ENetHTTPUndefinedSituation when a 2xx response ends with the connection,
  // ENetHTTPTunnelRefused when a proxy does not open a tunnel, and the
  // transport's and the response reader's errors unchanged.
  virtual void PerformRequest(TNetHTTPMethod method, const std::string& url, rtl::TStream* source,
                              rtl::TStream* body);

  // What to do with the page of `response`, whose status fails the request;
  // asked before any of it is read. Default: epKeepPrefix.
  virtual TNetErrorPageUse ErrorPageUse(const TNetHTTPResponse& /*response*/) { return epKeepPrefix; }

  // Offers a redirect to `location` to OnRedirect; the answer starts as
  // HandleRedirects. The handler may change `location` and `method`.
  virtual bool OfferRedirect(std::string& location, TNetHTTPMethod& method, int32_t redirect_count);

  // The response of the last exchange: status line, code, headers.
  TNetHTTPResponse& Response() const { return exchange_->Response(); }
  // The request record. Assigning copies the given record into the client's.
  TNetHTTPRequest& Request() const { return exchange_->Request(); }
  void SetRequest(const TNetHTTPRequest& request);

  // Proxy host, port and credentials; no proxy while ProxyServer is empty.
  // Assigning copies the settings.
  TNetProxyConnectionInfo& ProxyParams() const { return *proxy_params_; }
  void SetProxyParams(const TNetProxyConnectionInfo& params);

  // Where the last request went: its path is the base of the next relative
  // URL and its port carries over to a URL that names none.
  TNetURI& TargetURI() const { return *target_uri_; }

  // How many challenges one request may answer, counted separately for the
  // server and the proxy. Default: 3.
  int32_t AuthRetries() const { return auth_retries_; }
  void SetAuthRetries(int32_t retries) { auth_retries_ = retries; }
  // Create a cookie store on the first response when none is attached.
  // Default: true.
  bool AllowCookies() const { return allow_cookies_; }
  void SetAllowCookies(bool allow) { allow_cookies_ = allow; }
  // Follow redirects without an OnRedirect handler. Default: false.
  bool HandleRedirects() const { return handle_redirects_; }
  void SetHandleRedirects(bool handle) { handle_redirects_ = handle; }
  // Version of the request line; also the keep-alive rule. Default: pv1_1.
  TNetHTTPProtocolVersion ProtocolVersion() const { return protocol_version_; }
  void SetProtocolVersion(TNetHTTPProtocolVersion version) { protocol_version_ = version; }
  // Bound on the passes of one request: the redirect met in the pass numbered
  // RedirectMaximum ends the request instead of being followed. Default: 15.
  int32_t RedirectMaximum() const { return redirect_maximum_; }
  void SetRedirectMaximum(int32_t maximum) { redirect_maximum_ = maximum; }
  // How a followed redirect changes the method. Empty (the default): the
  // method is kept, and with it the body of a POST or PUT. With rrRewrite:
  // a 303 turns every method but HEAD into GET, a 301 or 302 turns POST into
  // GET (the rrKeepPost rules except POST per status); 307 and 308 keep the
  // method. Either way OnRedirect sees the method proposed and may change it.
  // A request whose method no longer sends its body goes without the body,
  // its Content-Length and its Content-Type. A redirect that keeps the body
  // sends it again from its start: an upload stream that cannot seek back to
  // 0 fails the request with ENetHTTPUploadNotRewindable.
  TNetRedirectMethodRules RedirectMethodRules() const { return redirect_method_rules_; }
  void SetRedirectMethodRules(TNetRedirectMethodRules rules) { redirect_method_rules_ = rules; }
  // Default: [hoForceEncodeParams]. Only hoInProcessAuth is consulted.
  TNetHTTPOptions HTTPOptions() const { return http_options_; }
  void SetHTTPOptions(TNetHTTPOptions options) { http_options_ = options; }
  // The pass counter of the running request; 0 when none runs.
  int32_t RedirectCount() const { return redirect_count_; }

  // Ask for compressed bodies and decode them as they stream in: requests
  // carry "Accept-Encoding: deflate, gzip" (unless the request names an
  // AcceptEncoding or the caller an "Accept-Encoding" line of its own), and
  // the final body of a response whose "Content-Encoding" names gzip or
  // deflate reaches the body stream decoded, with no more memory than a
  // fixed buffer however far it expands. Such a body then throws
  // ENetContentDecodingError when it is corrupt, cut short or in another
  // coding. Off, nothing is asked or decoded. Default: false.
  // Throws ENetContentDecodingError when turned on in a build without
  // content decoding (TNetInflateStream::Available).
  bool DecodeContent() const { return decode_content_; }
  void SetDecodeContent(bool decode);

  // The attached cookie store, or none. Attaching another frees a store the
  // client owns (the one it makes for itself when cookies are allowed and none
  // is attached); the client forgets a store that is destroyed.
  TNetCookieManager* CookieManager() const { return cookie_manager_; }
  void SetCookieManager(TNetCookieManager* manager);

  // Where authentications that finished all their steps are stored when the
  // connection closes; none by default. Not owned: the client forgets a
  // manager that is destroyed.
  TNetAuthenticationManager* AuthenticationManager() const { return authentication_manager_; }
  void SetAuthenticationManager(TNetAuthenticationManager* manager);

  // Also set the host, or the port as decimal text, of TargetURI.
  void SetHost(const std::string& host) override;
  void SetPort(int32_t port) override;

  // Events; an unset one is skipped. OnSelectAuthorization and
  // OnSelectProxyAuthorization may replace the scheme chosen for a 401 or 407;
  // OnAuthorization and OnProxyAuthorization supply credentials. Without the
  // latter a challenge is not answered.
  TNetHTTPOnRedirectEvent OnRedirect;
  TNetOnSelectAuthorization OnSelectAuthorization;
  TNetOnSelectAuthorization OnSelectProxyAuthorization;
  TNetOnAuthorization OnAuthorization;
  TNetOnAuthorization OnProxyAuthorization;

 protected:
  // Whether the request may be sent again with credentials after a 401: adds
  // 1 to ServerAuthAttempts; without a request Authenticator, creates one of
  // the first registered scheme that the WWW-Authenticate lines name (false
  // when none is registered), offered to OnSelectAuthorization first. Then
  // false without OnAuthorization; otherwise gives the scheme the request's
  // credentials and challenges and runs its steps, asking OnAuthorization
  // whenever the scheme asks for the user (false when it is not handled) and
  // copying the answer back into the request's Username, Password and
  // BasicAuthentication. A scheme still asking after a few handled answers is
  // refused.
  virtual bool AnswerServerChallenge(TNetHTTPRequest& request, TNetHTTPResponse& response);
  // The same for a proxy's 407, with ProxyAuthenticate, OnSelectProxyAuthorization,
  // OnProxyAuthorization and the Authenticator of ProxyParams. The stored
  // ProxyPassword is dropped first: only OnProxyAuthorization, which is always
  // asked once, can supply a password for the retry.
  virtual bool AnswerProxyChallenge(TNetHTTPRequest& request, TNetHTTPResponse& response);

  // Whether the I/O handler can carry TLS, and switching it between TLS and
  // plain pass-through (for the attached TLS handler, if any).
  virtual bool TLSHandlerAttached() const;
  virtual void SetTLSPassThrough(bool pass_through);
  // The attached I/O handler when it is a TLS handler, else none.
  TNetSSLIOHandlerSocket* TLSHandler() const;
  // The I/O handler for a new connection when none is attached, made owned
  // by the client (rtl::MakeOwned) so that it ends at the disconnect. With `tls`, a TLS handler that
  // verifies the server's certificate chain (up to kDefaultVerifyDepth)
  // against the system's trusted certificates and its name against the host
  // connected to; else a plain socket handler. A handler made without an
  // OnStatus of its own reports to the client's.
  virtual TNetIOHandlerSocket* MakeIOHandler(bool tls);

  // Called as each pass chooses its route, TargetURI holding where the pass
  // goes: a subclass may set ProxyParams for that target (an empty
  // ProxyServer: no proxy). Default: ProxyParams stay as they are.
  virtual void ChooseProxy() {}

  int32_t ServerAuthAttempts() const { return server_auth_attempts_; }
  void SetServerAuthAttempts(int32_t attempts) { server_auth_attempts_ = attempts; }
  int32_t ProxyAuthAttempts() const { return proxy_auth_attempts_; }
  void SetProxyAuthAttempts(int32_t attempts) { proxy_auth_attempts_ = attempts; }

  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;
  // After the connection's own hook: a request authenticator that has gone
  // through all its steps goes to the AuthenticationManager (when attached)
  // with TargetURI and is dropped; the proxy's authenticator is reset.
  void DoOnDisconnected() override;

 private:
  // How a pass of the request loop ends.
  enum TPassEnd : uint8_t {
    peDone,       // the final answer is read
    peFollow,     // another pass: a redirect, or an answered challenge whose connection is gone
    peRetryAuth,  // another pass on the same connection with the answer to a challenge
    peUndecided,  // a 2xx whose connection is gone before its body
  };

  void ResolveTarget(TNetHTTPRequest& request);
  TNetHTTPRoute ChooseRoute();
  void OpenExchange(TNetHTTPRequest& request, TNetHTTPResponse& response);
  void BuildTunnel(TNetHTTPRequest& request);
  void EnsureConnected(TNetHTTPResponse& response);
  // Attaches the client's own handler for `route` when none is attached.
  void PrepareIOHandler(TNetHTTPRoute route);
  // What a connection on `route` carries, as kept in connection_use_.
  std::string ConnectionUse(TNetHTTPRoute route) const;
  void SendRequestHead(TNetHTTPRequest& request, const TNetURI* uri);
  // Opens the exchange and reads the response head; a reused connection
  // found closed before any answer gets the request once more on a new one.
  void SendAndReadHead(TNetHTTPRequest& request, TNetHTTPResponse& response);
  // `answered` (when given) turns true once a status line has been read.
  void ReadResponseHead(TNetHTTPResponse& response, bool* answered = nullptr);
  void AttachCookies(const TNetURI& uri, TNetHTTPRequest& request);
  void StoreCookies(TNetHTTPResponse& response);
  void FinishRequest();
  TNetHTTPStepLimits StepLimits(const TNetHTTPRequest& request) const;
  // Acts on the decision about the head just read: offers redirects, answers
  // challenges, and reads, drains or skips the body accordingly.
  TPassEnd FinishPass(TNetHTTPRequest& request, TNetHTTPResponse& response);
  // Raises ENetHTTPProtocolException for the status in hand, its page read
  // as ErrorPageUse asks.
  [[noreturn]] void FailWithStatus(TNetHTTPResponse& response);
  // Reads a body nobody will see, within 64 KiB and the drain time; past
  // either the connection is closed instead. Read failures only cost the
  // connection, except a time-out of the caller's own, which is raised.
  void DrainQuietly(TNetHTTPResponse& response);
  // Seeks the upload stream back to its start for a redirect that sends the
  // body again. Throws ENetHTTPUploadNotRewindable when it cannot.
  void RewindUpload(TNetHTTPRequest& request);
  // Reads the body into the response's BodyStream in one work frame.
  void ReadFinalBody(TNetHTTPResponse& response);
  // Lets the request's credentials go to the current target: the program
  // answered its challenge.
  void TrustCredentialsForTarget();
  // Runs the steps of `authentication` for a challenge; true when the request
  // is to be sent again. `ask_first`: the handler is asked before a retry even
  // when the scheme would retry unasked.
  bool RunAuthSteps(TNetAuthentication& authentication, const TNetOnAuthorization& ask,
                    const std::function<void(TNetAuthentication&)>& give_credentials,
                    const std::function<void(const TNetAuthentication&)>& keep_credentials, bool ask_first);

  TNetCookieManager* cookie_manager_ = nullptr;
  TNetAuthenticationManager* authentication_manager_ = nullptr;
  int32_t server_auth_attempts_ = 0;
  int32_t proxy_auth_attempts_ = 0;
  int32_t auth_retries_ = 3;
  bool allow_cookies_ = true;
  TNetHTTPProtocolVersion protocol_version_ = pv1_1;
  int32_t redirect_count_ = 0;
  int32_t redirect_maximum_ = 15;
  bool handle_redirects_ = false;
  TNetRedirectMethodRules redirect_method_rules_;
  // A redirect of the running request turned a POST or PUT into a method
  // without a body: the body's Content-Type no longer goes out.
  bool body_dropped_ = false;
  // The pass in progress opened its connection itself.
  bool connected_anew_ = false;
  bool decode_content_ = false;
  TNetHTTPOptions http_options_{hoForceEncodeParams};
  std::unique_ptr<TNetURI> target_uri_;
  std::unique_ptr<TNetHTTPProtocol> exchange_;
  std::unique_ptr<TNetProxyConnectionInfo> proxy_params_;

  // Where the request's own credentials belong ("scheme://host:port", lower
  // case): the target of the caller's URL. Authorization and the caller's
  // Cookie lines are withheld from every other origin a redirect leads to.
  std::string credentials_origin_;
  bool withhold_credentials_ = false;
  // Scratch space of every request, kept so that one request after another
  // reuses its storage: the target's origin, the parse of the target, the
  // request head.
  std::string origin_;
  std::unique_ptr<TNetURI> target_parse_;
  std::string head_;
  // What the open connection carries: "plain", "tls", or "tunnel HOST:PORT";
  // empty when unknown (none open, or opened by the caller).
  std::string connection_use_;
};

// The published form of the client; adds nothing.
class TNetHTTP : public TNetCustomHTTP {
 public:
  using TNetCustomHTTP::TNetCustomHTTP;
  std::string ClassName() const override { return "TNetHTTP"; }
};

}  // namespace meridian::net
