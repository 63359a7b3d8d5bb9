// Exit codes of meridian-fetch and the error line that goes with them.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace meridian::fetch {

// The exit codes, numbered as command-line HTTP clients commonly number them.
enum TFetchExitCode : int32_t {
  fxOK = 0,
  fxUnsupportedProtocol = 1,
  fxUsage = 2,
  fxMalformedURL = 3,
  fxProxyNotResolved = 5,
  fxHostNotResolved = 6,
  fxCouldNotConnect = 7,
  fxInvalidResponse = 8,
  fxPartialBody = 18,
  fxHTTPError = 22,
  fxWriteError = 23,
  fxReadError = 26,
  fxOutOfMemory = 27,
  fxTimedOut = 28,
  fxTLSConnect = 35,
  fxTooManyRedirects = 47,
  fxNothingReceived = 52,
  fxSendError = 55,
  fxReceiveError = 56,
  fxTLSCertificate = 58,
  fxTLSCipher = 59,
  fxPeerNotVerified = 60,
  fxBadContentEncoding = 61,
  fxSendRewind = 65,
  fxCACertificate = 77,
  fxProxyHandshake = 97,
};

// A failure found by meridian-fetch itself, with its exit code.
class EFetchError : public std::exception {
 public:
  EFetchError(TFetchExitCode code, std::string message) : code_(code), message_(std::move(message)) {}
  TFetchExitCode Code() const { return code_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  TFetchExitCode code_;
  std::string message_;
};

// What was known of the request when it failed.
struct TFailureContext {
  bool via_proxy = false;  // the connection goes to a proxy
  bool connected = false;  // the connection of the failed pass was open
  bool received = false;   // a byte of the response had arrived
};

struct TFetchFailure {
  TFetchExitCode code;
  std::string message;
};

// The exit code and message for an error that ended a request. The message is
// the error's own on one line (a socket error's two lines joined by a blank),
// or a short description when the error carries none.
TFetchFailure DescribeFailure(const std::exception& error, const TFailureContext& context);

// "meridian-fetch: (CODE) MESSAGE".
std::string ErrorLine(const TFetchFailure& failure);

}  // namespace meridian::fetch
