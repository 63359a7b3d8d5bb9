// One run of meridian-fetch: every URL of the command line, in turn, over one
// HTTP client, with the output, error lines and exit code the options ask for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fetch_errors.h"
#include "fetch_options.h"
#include "http/proxy_resolution.h"
#include "messages.h"
#include "uri/uri.h"

namespace meridian::net {
class TNetHTTPResponse;
class TNetIOHandlerSocket;
}  // namespace meridian::net

namespace meridian::rtl {
class TStream;
}

namespace meridian::fetch {

class TFetchDeadline;
class TFetchHTTP;
class TFetchOutputStream;
class TFetchProgressBar;
class TFetchTrafficWatch;

// Drives a TNetHTTP through the URLs. Bodies and -i heads go to `out`, the
// -w text to `write_out` (none: to `out`), messages, -v and -# to `err`; all
// must outlive the session. One use: make it, call Run once.
class TFetchSession {
 public:
  TFetchSession(TFetchOptions options, TFetchOutputStream& out, TFetchMessages& err,
                TFetchOutputStream* write_out = nullptr);
  ~TFetchSession();
  TFetchSession(const TFetchSession&) = delete;
  TFetchSession& operator=(const TFetchSession&) = delete;

  // Fetches every URL; a failed one is reported and the next one tried, except
  // after the deadline of -m. Saves the cookie jar at the end.
  // Returns the exit code of the first failure, or 0.
  int32_t Run();

 private:
  // Makes the client and sets it from the options.
  void Configure();
  // Has every I/O handler the client makes go through the SOCKS proxy and
  // speak TLS as the options say.
  void ConfigureHandlers();
  void ConfigureSocks(net::TNetIOHandlerSocket& handler);
  // Chooses the proxy of a pass for the client's TargetURI: -x or a SOCKS
  // option unless no_proxy (or --noproxy) names the host, else the proxy
  // variables; none with -x "".
  void ChooseProxy();
  void ConfigureTLS(net::TNetIOHandlerSocket& handler);
  // Binds the client's events to the time-outs, -v, -# and the heads of -i.
  void WireEvents();
  void ApplyHeader(const std::string& line);
  void PrepareUpload();
  int32_t Transfer(const std::string& url);
  void Perform(const std::string& url);
  void EmitHead(const net::TNetHTTPResponse& response);
  void WriteOut(int32_t http_code, double seconds);
  int32_t Fail(const TFetchFailure& failure);
  std::string EffectiveURL() const;

  TFetchOptions options_;
  TFetchOutputStream& out_;
  TFetchMessages& err_;
  TFetchOutputStream& write_out_;
  bool write_out_failed_ = false;  // a -w text could not be written
  std::unique_ptr<TFetchHTTP> http_;
  std::unique_ptr<TFetchTrafficWatch> watch_;  // with -v only
  std::unique_ptr<TFetchProgressBar> progress_;
  std::unique_ptr<TFetchDeadline> deadline_;
  std::unique_ptr<rtl::TStream> upload_;
  // With a SOCKS proxy: the I/O handler that keeps its settings for every
  // connection of the run. Not the client's own, so a disconnect leaves it.
  net::TNetProxySettings proxy_settings_;  // the proxy variables, no_proxy replaced by --noproxy
  net::TNetProxyAddress pass_proxy_;       // the proxy of the running pass
  int32_t connect_timeout_ms_ = 0;
  int32_t read_timeout_ms_ = 0;
  uint8_t method_ = 0;              // a net::TNetHTTPMethod
  bool connected_in_pass_ = false;  // a connection was opened for this request
  bool read_in_pass_ = false;       // bytes of an answer were taken in
  bool redirect_limit_hit_ = false;
  TFailureContext context_;  // of the last failed pass
  std::string target_url_;  // the URL of the running transfer
  net::TNetURI checked_uri_;  // scratch space of the URL check
  bool sent_ = false;       // the running transfer reached the client
};

// The whole program below main: parses `args` (without the program name),
// prints help, version or the usage error, and runs the session.
// Returns the exit code.
int32_t RunFetch(const std::vector<std::string>& args, TFetchMessages& err);

}  // namespace meridian::fetch
