// The run of meridian-fetch: client set-up, one transfer per URL, the mapping
// of every outcome to output, error line and exit code.
#include "fetch_session.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "cookie_file.h"
#include "deadline.h"
#include "fetch_http.h"
#include "http/cookie_manager.h"
#include "http/http_client.h"
#include "http/proxy_connection_info.h"
#include "net/exceptions.h"
#include "output_stream.h"
#include "platform/process.h"
#include "progress_bar.h"
#include "session_settings.h"
#include "rtl/streams.h"
#include "rtl/text.h"
#include "traffic_watch.h"
#include "transport/io_handler_socket.h"
#include "transport/socket_handle.h"
#include "transport/socks/socks_info.h"
#include "transport/tls/ssl_io_handler_socket.h"
#include "uri/uri.h"
#include "write_out.h"

namespace meridian::fetch {

namespace {

using net::TNetHTTPMethod;

constexpr int32_t kReceiveBlockSize = 128 * 1024;

// The methods the client can send, by their word.
TNetHTTPMethod MethodFromWord(const std::string& word) {
  static const std::pair<const char*, TNetHTTPMethod> kMethods[] = {
      {"GET", net::hmGet},   {"HEAD", net::hmHead},       {"POST", net::hmPost},    {"PUT", net::hmPut},
      {"OPTIONS", net::hmOptions}, {"TRACE", net::hmTrace}, {"DELETE", net::hmDelete},
  };
  for (const auto& [name, method] : kMethods) {
    if (word == name) return method;
  }
  throw EFetchError(fxUsage, "option --request: the method " + word + " is not supported");
}

// A port of digits only, from 1 to 65535.
bool IsPortNumber(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  int32_t port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= 65535;
}

std::string ReadWholeFile(const std::string& file_name) {
  std::string content;
  if (!rtl::ReadFileToString(file_name, content)) {
    throw EFetchError(fxReadError, "Failed to open/read local data from file/application");
  }
  return content;
}

// The file's own name, as it is put after a URL ending in "/": what follows
// the last folder separator of the platform ("\\" and the drive's ":" on
// Windows); "/" counts everywhere, as Windows takes it in paths too.
std::string BaseName(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (path[i - 1] == '/' || platform::IsFolderSeparator(path[i - 1])) return path.substr(i);
  }
  return path;
}

// The URL as the client gets it: "http://" put in front of a URL that names
// no scheme; refused when it holds blanks or control bytes, names another
// scheme, or has no host or a port that is no port number.
// `uri` is scratch space, the parse of the URL, kept by the caller so that
// one URL after another reuses its storage.
std::string CheckedURL(const std::string& url, net::TNetURI& uri) {
  for (unsigned char c : url) {
    if (c <= 0x20 || c == 0x7f) throw EFetchError(fxMalformedURL, "URL rejected: Malformed input to a URL function");
  }
  const size_t scheme_end = url.find("://");
  std::string full = scheme_end == std::string::npos ? "http://" + url : url;
  const std::string scheme = full.substr(0, full.find("://"));
  if (!rtl::SameText(scheme, "http") && !rtl::SameText(scheme, "https")) {
    throw EFetchError(fxUnsupportedProtocol, "Protocol \"" + scheme + "\" not supported");
  }
  uri.SetURI(full);
  if (uri.Host().empty()) throw EFetchError(fxMalformedURL, "No host part in the URL");
  if (!uri.Port().empty() && !IsPortNumber(uri.Port())) {
    throw EFetchError(fxMalformedURL, "Port number was not a decimal number between 1 and 65535");
  }
  return full;
}

}  // namespace

TFetchSession::TFetchSession(TFetchOptions options, TFetchOutputStream& out, TFetchMessages& err,
                             TFetchOutputStream* write_out)
    : options_(std::move(options)), out_(out), err_(err), write_out_(write_out != nullptr ? *write_out : out) {}

TFetchSession::~TFetchSession() {
  // The client's last events still reach the session's members.
  http_.reset();
}

int32_t TFetchSession::Run() {
  deadline_ = std::make_unique<TFetchDeadline>(options_.max_time);
  int32_t result = fxOK;
  try {
    Configure();
    // Every step of every transfer, connects and waits for data and sends
    // alike, ends by the run's deadline.
    http_->SetDeadline(deadline_->Point());
    PrepareUpload();
  } catch (const std::exception& e) {
    return Fail(DescribeFailure(e, {}));
  }
  for (const std::string& url : options_.urls) {
    const int32_t code = Transfer(url);
    if (result == fxOK) result = code;
    if (deadline_->Passed()) break;
  }
  try {
    if (!options_.cookie_jar.empty() && http_->CookieManager() != nullptr) {
      SaveCookieFile(options_.cookie_jar, *http_->CookieManager());
    }
  } catch (const std::exception& e) {
    // The transfers are done; a jar that cannot be written is only reported.
    if (!options_.silent) err_ << "meridian-fetch: " << e.what() << '\n';
  }
  // Both outputs are checked: with -o the -w text has standard output to
  // itself, and a failure there is no less a failure.
  for (TFetchOutputStream* stream : {&out_, &write_out_}) {
    if (stream == &write_out_ && stream == &out_) break;
    try {
      stream->Flush();
    } catch (const std::exception& e) {
      const int32_t code = Fail(DescribeFailure(e, {}));
      if (result == fxOK) result = code;
    }
  }
  if (write_out_failed_ && result == fxOK) result = Fail({fxWriteError, "Failure writing output"});
  return result;
}

void TFetchSession::Configure() {
  connect_timeout_ms_ = SecondsToMilliseconds(options_.connect_timeout);
  read_timeout_ms_ = SecondsToMilliseconds(options_.read_timeout);

  http_ = std::make_unique<TFetchHTTP>();
  TFetchHTTP& http = *http_;
  http.SetProtocolVersion(options_.http10 ? net::pv1_0 : net::pv1_1);
  http.SetHandleRedirects(options_.follow);
  net::TNetRedirectMethodRules rules{net::rrRewrite};
  if (options_.post301) rules.Include(net::rrKeepPost301);
  if (options_.post302) rules.Include(net::rrKeepPost302);
  if (options_.post303) rules.Include(net::rrKeepPost303);
  http.SetRedirectMethodRules(rules);
  http.SetFailOnError(options_.fail);
  // The client counts passes: N redirects followed take N + 1 of them.
  const int32_t max_redirects = options_.max_redirects < 0 ? std::numeric_limits<int32_t>::max() - 1
                                                           : options_.max_redirects;
  http.SetRedirectMaximum(std::min(max_redirects, std::numeric_limits<int32_t>::max() - 1) + 1);
  // The responses' cookies are kept only when a cookie file is in play.
  http.SetAllowCookies(false);
  // Large receives: a big body costs fewer calls, and the input buffer stays
  // far below the memory a body may not take. Larger blocks than this save
  // no time worth their memory.
  http.SetRecvBufferSize(kReceiveBlockSize);
  if (options_.compressed) http.SetDecodeContent(true);
  if (!options_.cookie_file.empty() || !options_.cookie_jar.empty()) {
    auto* manager = rtl::MakeOwned<net::TNetCookieManager>(http);
    http.SetCookieManager(manager);
    if (!options_.cookie_file.empty()) LoadCookieFile(options_.cookie_file, *manager);
  }

  // Without an intercept the connection receives straight into its buffer.
  if (options_.verbose) {
    watch_ = std::make_unique<TFetchTrafficWatch>(&err_);
    http.SetIntercept(watch_.get());
  }
  if (options_.progress_bar && !options_.silent) progress_ = std::make_unique<TFetchProgressBar>(err_);

  proxy_settings_ = net::ProxySettingsFromEnvironment();
  if (options_.noproxy) proxy_settings_.no_proxy = *options_.noproxy;
  http.OnChooseProxy = [this] { ChooseProxy(); };
  if (options_.ip_version != 0) http.SetIPVersion(options_.ip_version == 4 ? net::ivIPv4 : net::ivIPv6);
  ApplyCredentials(options_, http);
  ConfigureHandlers();

  net::TNetHTTPRequest& request = http.Request();
  if (!options_.data.empty()) request.SetContentType("application/x-www-form-urlencoded");
  if (options_.user_agent) request.SetUserAgent(*options_.user_agent);
  if (options_.referer) request.SetReferer(*options_.referer);
  for (const std::string& line : options_.headers) ApplyHeader(line);

  method_ = net::hmGet;
  if (!options_.data.empty()) method_ = net::hmPost;
  if (!options_.upload_file.empty()) method_ = net::hmPut;
  if (options_.head) method_ = net::hmHead;
  if (!options_.method.empty()) method_ = MethodFromWord(options_.method);
  if (options_.http10 && (method_ == net::hmOptions || method_ == net::hmTrace || method_ == net::hmPut ||
                          method_ == net::hmDelete)) {
    throw EFetchError(fxUsage, "This request method is supported in HTTP 1.1");
  }

  WireEvents();
}

// The client's events drive the time-outs, -v, -# and the heads of -i.
void TFetchSession::WireEvents() {
  TFetchHTTP& http = *http_;
  // Connecting is bounded by the connect time-out and every later wait by the
  // read time-out: the client connects with its ReadTimeout, so the value is
  // switched as the connection opens and closes.
  http.SetReadTimeout(connect_timeout_ms_);
  http.OnStatus = [this](rtl::TComponent*, net::TNetStatus status, const std::string& text) {
    if (options_.verbose) err_ << "* " << text << '\n';
    switch (status) {
      case net::hsConnected:
        connected_in_pass_ = true;
        http_->SetReadTimeout(read_timeout_ms_);
        break;
      case net::hsDisconnected:
        http_->SetReadTimeout(connect_timeout_ms_);
        break;
      default:
        break;
    }
  };
  http.OnWork = [this](rtl::TComponent*, net::TWorkMode mode, int64_t) {
    if (mode == net::wmRead) read_in_pass_ = true;
    if (progress_ && mode == net::wmRead) progress_->Update(out_.BodyBytes());
  };

  http.OnRedirect = [this](rtl::TComponent*, std::string&, int32_t&, bool&, TNetHTTPMethod& method) {
    if (!options_.follow) return;
    const net::TNetHTTPResponse& response = http_->Response();
    EmitHead(response);
    // -X names the method word of every request; the rules only decide about
    // the body, and a method of -X has none.
    const auto asked = static_cast<TNetHTTPMethod>(method_);
    if (!options_.method.empty() && !net::MethodSendsBody(asked)) method = asked;
    if (http_->RedirectCount() >= http_->RedirectMaximum()) {
      redirect_limit_hit_ = true;
    } else {
      out_.ArmBeforeBody();
    }
  };
  // Without --basic the challenge is part of the exchange the user sees, as
  // it is when the reference client answers Digest.
  if (options_.auth != faBasic) {
    http.OnChallengeAnswered = [this](const net::TNetHTTPResponse& response) { EmitHead(response); };
  }
  out_.BeforeBody = [this] {
    EmitHead(http_->Response());
    if (progress_) progress_->Begin(http_->Response().LengthKnown() ? http_->Response().ContentLength() : -1);
  };
}

void TFetchSession::ConfigureHandlers() {
  http_->OnMakeIOHandler = [this](net::TNetIOHandlerSocket& handler, bool tls) {
    // Every request and every piece of a body leaves at once, as curl's do:
    // each is written whole, so nothing is gained by holding small segments.
    handler.SetUseNagle(false);
    if (pass_proxy_.kind != net::pkNone && pass_proxy_.kind != net::pkHTTP) ConfigureSocks(handler);
    if (tls) ConfigureTLS(handler);
  };
}

void TFetchSession::ConfigureSocks(net::TNetIOHandlerSocket& handler) {
  handler.OnStatus = [this, &handler](rtl::TComponent* sender, net::TNetStatus status, const std::string& text) {
    // The client gives the handshake its connect time-out; each reply of the
    // proxy is a read, so it also waits no longer than the read time-out.
    if (status == net::hsConnecting) {
      int32_t wait = connect_timeout_ms_;
      if (read_timeout_ms_ > 0 && (wait <= 0 || read_timeout_ms_ < wait)) wait = read_timeout_ms_;
      handler.SocksInfo()->SetReadTimeout(wait);
    }
    if (http_->OnStatus) http_->OnStatus(sender, status, text);
  };
  net::TNetSocksInfo& socks = *handler.SocksInfo();
  // SOCKS 5 always hands the proxy the target's name, so "socks5://" and
  // "socks5h://" both go that way.
  socks.SetVersion(pass_proxy_.kind == net::pkSocks4    ? net::svSocks4
                   : pass_proxy_.kind == net::pkSocks4A ? net::svSocks4A
                                                        : net::svSocks5);
  socks.SetHost(pass_proxy_.host);
  socks.SetPort(pass_proxy_.port);
  std::string user;
  std::string password;
  if (pass_proxy_.has_credentials) {
    user = pass_proxy_.username;
    password = pass_proxy_.password;
  } else if (options_.proxy_user) {
    password = *options_.proxy_user;
    user = rtl::Fetch(password, ":");
  }
  if (pass_proxy_.has_credentials || options_.proxy_user) {
    socks.SetUsername(user);
    socks.SetPassword(password);
    if (socks.Version() == net::svSocks5) socks.SetAuthentication(net::saUsernamePassword);
  }
}

void TFetchSession::ChooseProxy() {
  const net::TNetURI& target = http_->TargetURI();
  const std::string& host = target.Host();
  net::TNetProxyAddress chosen;
  if (options_.proxy_set || options_.socks != fsNone) {
    // The proxy of the command line serves every scheme; no_proxy still
    // applies to it.
    if (!net::ProxyBypassed(host, proxy_settings_.no_proxy)) chosen = ProxyOption(options_);
  } else if (!proxy_settings_.http_proxy.empty() || !proxy_settings_.https_proxy.empty() ||
             !proxy_settings_.all_proxy.empty()) {
    const std::string authority = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    chosen = net::ResolveProxy(rtl::LowerCase(target.Protocol()) + "://" + authority + "/", proxy_settings_);
  }
  pass_proxy_ = chosen;
  net::TNetProxyConnectionInfo& params = http_->ProxyParams();
  if (chosen.kind == net::pkHTTP) {
    // The same proxy again keeps its settings and its authenticator.
    if (!rtl::SameText(params.ProxyServer(), chosen.host) || params.ProxyPort() != chosen.port) {
      ApplyHTTPProxy(chosen, params);
    }
  } else if (!params.ProxyServer().empty()) {
    params.SetProxyServer("");
    params.SetProxyPort(0);
  }
}

// The client's TLS handler verifies the server against the system's CAs; the
// options add CAs, a client certificate and a cipher list, or (-k) drop the
// verification.
void TFetchSession::ConfigureTLS(net::TNetIOHandlerSocket& handler) {
  auto* tls = dynamic_cast<net::TNetSSLIOHandlerSocket*>(&handler);
  if (tls == nullptr) return;
  net::TNetSSLOptions& ssl = tls->SSLOptions();
  if (options_.insecure) ssl.SetVerifyMode({});
  ssl.SetRootCertFile(options_.ca_file);
  ssl.SetVerifyDirs(options_.ca_path);
  if (!options_.cert_file.empty()) {
    ssl.SetCertFile(options_.cert_file);
    // Without --key the key is looked for in the certificate's file.
    ssl.SetKeyFile(options_.key_file.empty() ? options_.cert_file : options_.key_file);
  }
  ssl.SetCipherList(options_.ciphers);
  if (options_.verbose) tls->OnStatusInfo = [this](const std::string& text) { err_ << "* " << text << '\n'; };
}

// Known names set the request's own field, so that the line replaces the
// default instead of doubling it; "Name:" with no value removes it. Other
// lines are sent as they are.
void TFetchSession::ApplyHeader(const std::string& line) {
  const size_t colon = line.find(':');
  const std::string name = rtl::Trim(line.substr(0, colon));
  const std::string value = rtl::Trim(line.substr(colon + 1));
  net::TNetHTTPRequest& request = http_->Request();
  const std::pair<const char*, void (net::TNetRequestHeaderInfo::*)(std::string)> kFields[] = {
      {"Accept", &net::TNetRequestHeaderInfo::SetAccept},
      {"Accept-Charset", &net::TNetRequestHeaderInfo::SetAcceptCharSet},
      {"Accept-Encoding", &net::TNetRequestHeaderInfo::SetAcceptEncoding},
      {"Accept-Language", &net::TNetRequestHeaderInfo::SetAcceptLanguage},
      {"From", &net::TNetRequestHeaderInfo::SetFrom},
      {"Referer", &net::TNetRequestHeaderInfo::SetReferer},
      {"User-Agent", &net::TNetRequestHeaderInfo::SetUserAgent},
      {"Content-Type", &net::TNetEntityHeaderInfo::SetContentType},
      {"Connection", &net::TNetEntityHeaderInfo::SetConnection},
      {"Cache-Control", &net::TNetEntityHeaderInfo::SetCacheControl},
      {"Pragma", &net::TNetEntityHeaderInfo::SetPragma},
  };
  for (const auto& [field, setter] : kFields) {
    if (rtl::SameText(name, field)) {
      (request.*setter)(value);
      return;
    }
  }
  if (rtl::SameText(name, "Host") || name.empty()) {
    throw EFetchError(fxUsage, "option --header: the " + (name.empty() ? std::string("empty") : name) +
                                   " header cannot be set");
  }
  if (!value.empty()) request.CustomHeaders().Add(name + ": " + value);
}

void TFetchSession::PrepareUpload() {
  if (method_ != net::hmPost && method_ != net::hmPut) return;
  if (!options_.upload_file.empty()) {
    // Sent from the file as it is read, never held whole.
    if (!rtl::FileExists(options_.upload_file)) {
      throw EFetchError(fxReadError, "Failed to open/read local data from file/application");
    }
    try {
      upload_ = std::make_unique<rtl::TFileStream>(options_.upload_file, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    } catch (const rtl::EStreamError& e) {
      throw EFetchError(fxReadError, e.what());
    }
  } else {
    std::string body;
    for (const std::string& item : options_.data) {
      std::string piece = item;
      if (!piece.empty() && piece[0] == '@') {
        // As a form field: the file's line breaks are not part of the data.
        piece = ReadWholeFile(piece.substr(1));
        std::erase_if(piece, [](char c) { return c == '\r' || c == '\n'; });
      }
      if (!body.empty()) body += '&';
      body += piece;
    }
    upload_ = std::make_unique<rtl::TMemoryStream>(body);
  }
  if (upload_->Size() > std::numeric_limits<int32_t>::max()) {
    throw EFetchError(fxReadError, "The data to send is too large for a Content-Length");
  }
}

int32_t TFetchSession::Transfer(const std::string& raw_url) {
  const auto started = std::chrono::steady_clock::now();
  int32_t http_code = 0;
  int32_t result = fxOK;
  target_url_ = raw_url;
  sent_ = false;
  context_ = {};
  out_.ResetBodyBytes();
  try {
    std::string url = CheckedURL(raw_url, checked_uri_);
    if (method_ == net::hmPut && !options_.upload_file.empty() && url.back() == '/') {
      url += BaseName(options_.upload_file);
    }
    target_url_ = url;
    out_.ArmBeforeBody();
    redirect_limit_hit_ = false;
    sent_ = true;
    try {
      Perform(url);
      http_code = http_->Response().StatusCode();
      out_.FireBeforeBody();
      if (redirect_limit_hit_) {
        throw EFetchError(fxTooManyRedirects,
                          "Maximum (" + std::to_string(http_->RedirectMaximum() - 1) + ") redirects followed");
      }
    } catch (const net::ENetHTTPTunnelStatus& e) {
      throw EFetchError(fxReceiveError, "CONNECT tunnel failed, response " + std::to_string(e.ReplyErrorCode()));
    } catch (const net::ENetHTTPProtocolException& e) {
      // An error status is an answer, not a failure: its page has gone to the
      // output like any body, unless -f asks for the failure instead, in
      // which case only the head was read.
      http_code = e.ReplyErrorCode();
      if (options_.fail && http_code >= 400) {
        out_.DisarmBeforeBody();
        EmitHead(http_->Response());
        throw EFetchError(fxHTTPError, "The requested URL returned error: " + std::to_string(http_code));
      }
      out_.FireBeforeBody();
    }
  } catch (const std::exception& e) {
    if (http_code == 0 && http_) http_code = std::max(0, http_->Response().StatusCode());
    TFetchFailure failure = DescribeFailure(e, context_);
    if (deadline_->Passed()) {
      failure = {fxTimedOut, "Operation timed out after " + std::to_string(deadline_->ElapsedMs()) +
                                 " milliseconds with " + std::to_string(out_.BodyBytes()) + " bytes received"};
    }
    result = Fail(failure);
  }
  out_.DisarmBeforeBody();
  if (progress_) progress_->End();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  WriteOut(http_code, seconds);
  return result;
}

void TFetchSession::Perform(const std::string& url) {
  TFetchHTTP& http = *http_;
  rtl::TStream* body = method_ == net::hmHead ? nullptr : &out_;
  for (int32_t attempt = 0;; ++attempt) {
    const bool reused = http.Connected();
    connected_in_pass_ = false;
    read_in_pass_ = false;
    if (upload_) upload_->SetPosition(0);
    http.SetReadTimeout(reused ? read_timeout_ms_ : connect_timeout_ms_);
    try {
      http.PerformRequest(static_cast<TNetHTTPMethod>(method_), url, upload_.get(), body);
      return;
    } catch (const net::ENetHTTPProtocolException&) {
      throw;
    } catch (const std::exception& e) {
      context_ = {pass_proxy_.kind != net::pkNone, reused || connected_in_pass_,
                  read_in_pass_ || http.InputBuffer().Size() > 0};
      // A kept-alive connection that the server closed while it was idle
      // fails before any answer: send the request once more on a new one.
      const bool stale = attempt == 0 && reused && !connected_in_pass_ && !context_.received &&
                         out_.BodyBytes() == 0 &&
                         (dynamic_cast<const net::ENetConnClosedGracefully*>(&e) != nullptr ||
                          dynamic_cast<const net::ENetSocketError*>(&e) != nullptr);
      if (!stale || deadline_->Passed()) throw;
      if (http.Connected()) http.Disconnect();
    }
  }
}

void TFetchSession::EmitHead(const net::TNetHTTPResponse& response) {
  if (!options_.include && !options_.head && !options_.verbose) return;
  std::string head = response.StatusLine() + "\r\n";
  const net::TNetHeaderList& lines = response.WireHeaders();
  for (int32_t i = 0; i < lines.Count(); ++i) head += lines.Strings(i) + "\r\n";
  head += "\r\n";
  if (options_.include || options_.head) out_.WriteText(head);
  if (options_.verbose) {
    err_ << "< " << response.StatusLine() << '\n';
    for (int32_t i = 0; i < lines.Count(); ++i) err_ << "< " << lines.Strings(i) << '\n';
    err_ << "<\n";
  }
}

void TFetchSession::WriteOut(int32_t http_code, double seconds) {
  if (options_.write_out.empty()) return;
  TTransferFacts facts;
  facts.http_code = http_code;
  facts.size_download = out_.BodyBytes();
  facts.url_effective = EffectiveURL();
  facts.time_total = seconds;
  try {
    write_out_.WriteText(ExpandWriteOut(options_.write_out, facts));
    if (&write_out_ != &out_) write_out_.Flush();
  } catch (const std::exception&) {
    // The buffer was emptied by the failed write: noted here, reported once
    // the transfers are done.
    write_out_failed_ = true;
  }
}

int32_t TFetchSession::Fail(const TFetchFailure& failure) {
  if (!options_.silent) err_ << ErrorLine(failure) << '\n';
  return failure.code;
}

// The URL of the last request sent: after followed redirects, where they led.
std::string TFetchSession::EffectiveURL() const {
  if (!sent_ || !http_ || http_->TargetURI().Host().empty()) return target_url_;
  const net::TNetURI& uri = http_->TargetURI();
  const bool default_port = (rtl::SameText(uri.Protocol(), "http") && uri.Port() == "80") ||
                            (rtl::SameText(uri.Protocol(), "https") && uri.Port() == "443");
  std::string url = rtl::LowerCase(uri.Protocol()) + "://" + uri.Host();
  if (!default_port && !uri.Port().empty()) url += ":" + uri.Port();
  return url + uri.Path() + uri.Document() + uri.Params();
}

int32_t RunFetch(const std::vector<std::string>& args, TFetchMessages& err) {
  TFetchOptions options;
  try {
    options = ParseFetchOptions(args);
  } catch (const EFetchUsage& e) {
    err << "meridian-fetch: " << e.what() << "\n"
        << "meridian-fetch: try 'meridian-fetch --help' for more information\n";
    return fxUsage;
  }
  if (options.help || options.version) {
    TFetchOutputStream out;
    out.WriteText(options.help ? FetchHelpText() : FetchVersionText());
    return fxOK;
  }
  try {
    // Standard output carries the -w text even when the bodies go to a file.
    TFetchOutputStream standard_output;
    std::unique_ptr<TFetchOutputStream> file;
    if (!options.output_file.empty()) file = std::make_unique<TFetchOutputStream>(options.output_file);
    TFetchSession session(std::move(options), file ? *file : standard_output, err, &standard_output);
    return session.Run();
  } catch (const EFetchError& e) {
    if (!options.silent) err << ErrorLine({e.Code(), e.what()}) << '\n';
    return e.Code();
  }
}

}  // namespace meridian::fetch
