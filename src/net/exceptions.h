// The exception tree of the network library. Every failure of the transport,
// the HTTP client and their helpers is one of these, with a fixed message text.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/exceptions.h"

namespace meridian::net {

class ENetException : public rtl::Exception {
 public:
  using rtl::Exception::Exception;
};

// Declares a class whose constructor takes the message (default: `text`).
#define MERIDIAN_NET_EXCEPTION(Name, Base, text)                      \
  class Name : public Base {                                          \
   public:                                                             \
    explicit Name(std::string message = text) : Base(std::move(message)) {} \
  };

// Failures that callers treat as an ordinary end, not as an error to show.
MERIDIAN_NET_EXCEPTION(ENetSilentException, ENetException, "")
MERIDIAN_NET_EXCEPTION(ENetConnClosedGracefully, ENetSilentException, "Connection Closed Gracefully.")

MERIDIAN_NET_EXCEPTION(ENetAlreadyConnected, ENetException, "Already connected.")
MERIDIAN_NET_EXCEPTION(ENetClosedSocket, ENetException, "Disconnected.")
MERIDIAN_NET_EXCEPTION(ENetReadTimeout, ENetException, "Read Timeout")
MERIDIAN_NET_EXCEPTION(ENetReadLnMaxLineLengthExceeded, ENetException, "Max line length exceeded.")
MERIDIAN_NET_EXCEPTION(ENetConnectTimeout, ENetException, "Connect timed out.")
MERIDIAN_NET_EXCEPTION(ENetConnectException, ENetException, "")
MERIDIAN_NET_EXCEPTION(ENetInvalidSocket, ENetException, "Cannot allocate socket.")

// "%s is not a valid service." with the service name.
class ENetInvalidServiceName : public ENetException {
 public:
  explicit ENetInvalidServiceName(const std::string& service);
};

// A numbered reply outside the expected ones; the code is the reply's.
class ENetProtocolReplyError : public ENetException {
 public:
  ENetProtocolReplyError(int32_t reply_code, std::string message)
      : ENetException(std::move(message)), reply_error_code_(reply_code) {}
  int32_t ReplyErrorCode() const { return reply_error_code_; }

 private:
  int32_t reply_error_code_;
};

// A failed socket call: "Socket Error # %d\r\n%s" with the WinSock-numbered code.
class ENetSocketError : public ENetException {
 public:
  ENetSocketError(int32_t last_error, std::string message)
      : ENetException(std::move(message)), last_error_(last_error) {}
  int32_t LastError() const { return last_error_; }

 private:
  int32_t last_error_;
};

// The platform's socket library could not be loaded or called: the message is
// the title, followed by ": " and the system's text when the code is not 0.
class ENetWS2StubError : public ENetException {
 public:
  ENetWS2StubError(uint32_t error, std::string title, std::string error_text = "");
  uint32_t Win32Error() const { return win32_error_; }
  const std::string& Title() const { return title_; }
  const std::string& Win32ErrorText() const { return win32_error_text_; }

 private:
  uint32_t win32_error_;
  std::string title_;
  std::string win32_error_text_;
};

MERIDIAN_NET_EXCEPTION(ENetStackError, ENetException, "")
MERIDIAN_NET_EXCEPTION(ENetStackInitializationFailed, ENetStackError, "Winsock Initialization Error.")
MERIDIAN_NET_EXCEPTION(ENetStackSetSizeExceeded, ENetStackError, "Set Size Exceeded.")

MERIDIAN_NET_EXCEPTION(ENetSocketHandleError, ENetException, "")
MERIDIAN_NET_EXCEPTION(ENetCouldNotBindSocket, ENetSocketHandleError,
                       "Could not bind socket. Address and port are already in use.")
// "Can not bind in port range (%d - %d)" / "Invalid Port Range (%d - %d)".
class ENetCanNotBindPortInRange : public ENetSocketHandleError {
 public:
  ENetCanNotBindPortInRange(int32_t min, int32_t max);
};
class ENetInvalidPortRange : public ENetSocketHandleError {
 public:
  ENetInvalidPortRange(int32_t min, int32_t max);
};

MERIDIAN_NET_EXCEPTION(ENetTCPConnectionError, ENetException, "")
MERIDIAN_NET_EXCEPTION(ENetNotEnoughDataInBuffer, ENetTCPConnectionError, "Not enough data in buffer.")
MERIDIAN_NET_EXCEPTION(ENetIOHandlerPropInvalid, ENetTCPConnectionError, "IOHandler value is not valid")
MERIDIAN_NET_EXCEPTION(ENetNoDataToRead, ENetTCPConnectionError, "No data to read.")
MERIDIAN_NET_EXCEPTION(ENetNotConnected, ENetTCPConnectionError, "Not Connected")
// "File "%s" not found" with the file name.
class ENetFileNotFound : public ENetTCPConnectionError {
 public:
  explicit ENetFileNotFound(const std::string& file_name);
};

// ---- Intercepts and command replies (transport/) ----

// An intercept nested, directly or through others, in itself.
MERIDIAN_NET_EXCEPTION(ENetInterceptCircularLink, ENetException, "Intercept chain would loop.")
// A command reply with more lines or bytes than a reply may hold.
MERIDIAN_NET_EXCEPTION(ENetReplyTooLong, ENetTCPConnectionError, "Reply too long.")

// ---- URI (uri/) ----

// Composing a URI without a protocol ("Protocol field is empty") or without a
// host ("Host field is empty").
MERIDIAN_NET_EXCEPTION(ENetURIException, ENetException, "")
// A URL that names a scheme but no host.
MERIDIAN_NET_EXCEPTION(ENetURIMissingHost, ENetURIException, "No host in the URL")
// A port that is no decimal number from 1 to 65535.
MERIDIAN_NET_EXCEPTION(ENetURIInvalidPort, ENetURIException, "Port number is not between 1 and 65535")

// ---- Base64 and other coders (coders/) ----

// A byte count or text length the coding cannot split into whole groups:
// "Uneven size in Encode." or "Uneven size in DecodeToStream.".
MERIDIAN_NET_EXCEPTION(ENetCoderUnevenSize, ENetException, "")

// ---- HTTP dates (http/) ----

// The platform could not tell the local time zone.
MERIDIAN_NET_EXCEPTION(ENetFailedToRetreiveTimeZoneInfo, ENetException,
                       "Failed attempting to retrieve time zone information.")

// ---- Cookies (http/) ----

// A port list index that is neither an element nor the one just past the end.
MERIDIAN_NET_EXCEPTION(ENetCookieIndexOutOfRange, ENetException, "Index out of range.")

// ---- Authentication schemes (auth/) ----

// A second scheme registered under a name that is taken: "This authentication
// method is already registered with class name %s." with the class name of the
// scheme registered first.
class ENetAlreadyRegisteredAuthenticationMethod : public ENetException {
 public:
  explicit ENetAlreadyRegisteredAuthenticationMethod(const std::string& class_name)
      : ENetException("This authentication method is already registered with class name " + class_name + ".") {}
};

// ---- HTTP client (http/) ----

// A response whose framing cannot be trusted; the connection must not carry
// another request.
MERIDIAN_NET_EXCEPTION(ENetHTTPMalformedResponse, ENetException, "Malformed HTTP response.")
MERIDIAN_NET_EXCEPTION(ENetHTTPHeadTooLarge, ENetHTTPMalformedResponse, "HTTP response head too large.")
MERIDIAN_NET_EXCEPTION(ENetHTTPConflictingContentLength, ENetHTTPMalformedResponse,
                       "Conflicting Content-Length headers.")
MERIDIAN_NET_EXCEPTION(ENetHTTPInvalidChunkedBody, ENetHTTPMalformedResponse, "Invalid chunked body.")
// A reply whose first line is no HTTP status line: another kind of service, or
// no HTTP at all.
MERIDIAN_NET_EXCEPTION(ENetHTTPInvalidStatusLine, ENetHTTPMalformedResponse, "Invalid HTTP status line.")
// The peer closed before the empty line that ends a response head: what came
// is no whole answer, whatever its status.
MERIDIAN_NET_EXCEPTION(ENetHTTPHeadIncomplete, ENetException,
                       "Connection closed before the end of the response head.")
// The peer closed before the whole announced body arrived.
MERIDIAN_NET_EXCEPTION(ENetHTTPBodyIncomplete, ENetException,
                       "Connection closed before the end of the response body.")
// A compressed body that cannot be decoded: corrupt, cut short, or in a
// coding the client does not know.
MERIDIAN_NET_EXCEPTION(ENetContentDecodingError, ENetException, "Error while decoding the content.")

// A final status the client does not handle. The message is the status line,
// the reply code the status code; ResponseBody() is the body as received.
class ENetHTTPProtocolException : public ENetProtocolReplyError {
 public:
  ENetHTTPProtocolException(int32_t reply_code, std::string message, std::string response_body)
      : ENetProtocolReplyError(reply_code, std::move(message)),
        response_body_(std::move(response_body)) {}
  const std::string& ResponseBody() const { return response_body_; }

 private:
  std::string response_body_;
};
// A URL or a redirect whose scheme is neither "http" nor "https".
MERIDIAN_NET_EXCEPTION(ENetUnknownProtocol, ENetException, "")
// A request refused before anything of it is sent.
MERIDIAN_NET_EXCEPTION(ENetHTTPRequestRefused, ENetException, "")
MERIDIAN_NET_EXCEPTION(ENetHTTPTargetLineBreak, ENetHTTPRequestRefused, "Request target contains a line break")
MERIDIAN_NET_EXCEPTION(ENetHTTPHeaderLineBreak, ENetHTTPRequestRefused, "Request header contains a line break")
MERIDIAN_NET_EXCEPTION(ENetHTTPMethodNeedsHTTP11, ENetHTTPRequestRefused, "This request method is supported in HTTP 1.1")
// A body longer than the 32-bit Content-Length field can announce.
MERIDIAN_NET_EXCEPTION(ENetHTTPRequestBodyTooLarge, ENetHTTPRequestRefused, "Request body too large")
// A successful status whose connection closed before its body could be read.
MERIDIAN_NET_EXCEPTION(ENetHTTPUndefinedSituation, ENetException, "Undefined situation")
// The HTTP proxy answered CONNECT with something other than 200 too often.
MERIDIAN_NET_EXCEPTION(ENetHTTPTunnelRefused, ENetException, "The proxy did not open the tunnel")
// The proxy answered a CONNECT with a failing status (the status and page as
// in ENetHTTPProtocolException).
class ENetHTTPTunnelStatus : public ENetHTTPProtocolException {
 public:
  using ENetHTTPProtocolException::ENetHTTPProtocolException;
};

// A followed redirect keeps the request body, and its upload stream cannot
// go back to its start to send it again.
MERIDIAN_NET_EXCEPTION(ENetHTTPUploadNotRewindable, ENetException,
                       "The request body cannot be sent again for the redirect: its stream cannot be rewound")
// A proxy setting that names a scheme the client cannot speak to a proxy
// ("Unsupported proxy scheme for '%s'"), or has no host or an invalid port
// ("Unsupported proxy syntax in '%s'").
MERIDIAN_NET_EXCEPTION(ENetProxySetting, ENetException, "")
MERIDIAN_NET_EXCEPTION(ENetProxyUnsupportedScheme, ENetProxySetting, "")
MERIDIAN_NET_EXCEPTION(ENetProxySyntax, ENetProxySetting, "")

// ---- SOCKS (transport/socks/) ----

// The proxy refused the tunnel or the handshake failed part-way.
MERIDIAN_NET_EXCEPTION(ENetSocksError, ENetException, "")
MERIDIAN_NET_EXCEPTION(ENetSocksRequestFailed, ENetSocksError, "Request rejected or failed.")
MERIDIAN_NET_EXCEPTION(ENetSocksRequestServerFailed, ENetSocksError,
                       "Request rejected because SOCKS server cannot connect.")
MERIDIAN_NET_EXCEPTION(ENetSocksRequestIdentFailed, ENetSocksError,
                       "Request rejected because the client program and identd report different user-ids.")
MERIDIAN_NET_EXCEPTION(ENetSocksUnknownError, ENetSocksError, "Unknown socks error.")
MERIDIAN_NET_EXCEPTION(ENetSocksServerRespondError, ENetSocksError, "Socks server did not respond.")
MERIDIAN_NET_EXCEPTION(ENetSocksAuthMethodError, ENetSocksError, "Invalid socks authentication method.")
MERIDIAN_NET_EXCEPTION(ENetSocksAuthError, ENetSocksError, "Authentication error to socks server.")
MERIDIAN_NET_EXCEPTION(ENetSocksServerGeneralError, ENetSocksError, "General SOCKS server failure.")
MERIDIAN_NET_EXCEPTION(ENetSocksServerPermissionError, ENetSocksError, "Connection not allowed by ruleset.")
MERIDIAN_NET_EXCEPTION(ENetSocksServerNetUnreachableError, ENetSocksError, "Network unreachable.")
MERIDIAN_NET_EXCEPTION(ENetSocksServerHostUnreachableError, ENetSocksError, "Host unreachable.")
MERIDIAN_NET_EXCEPTION(ENetSocksServerConnectionRefusedError, ENetSocksError, "Connection refused.")
MERIDIAN_NET_EXCEPTION(ENetSocksServerTTLExpiredError, ENetSocksError, "TTL expired.")
MERIDIAN_NET_EXCEPTION(ENetSocksServerCommandError, ENetSocksError, "Command not supported.")
MERIDIAN_NET_EXCEPTION(ENetSocksServerAddressError, ENetSocksError, "Address type not supported.")
// A SOCKS 5 reply with an address type other than IPv4, name or IPv6: its
// length is unknown, so the rest of the stream cannot be trusted.
MERIDIAN_NET_EXCEPTION(ENetSocksReplyError, ENetSocksError, "Invalid reply from socks server.")
// A user name, password or host name that the request cannot carry, refused
// before anything is sent: "%s is longer than 255 bytes." or "%s contains a
// zero byte." with what it is ("User name", "Password", "Host name").
MERIDIAN_NET_EXCEPTION(ENetSocksValueError, ENetSocksError, "")

// ---- TLS (transport/tls/) ----

MERIDIAN_NET_EXCEPTION(ENetOpenSSLError, ENetException, "")
// Loading OpenSSL, or a certificate or key file into a context.
MERIDIAN_NET_EXCEPTION(ENetOpenSSLLoadError, ENetOpenSSLError, "")
MERIDIAN_NET_EXCEPTION(ENetOSSLCouldNotLoadSSLLibrary, ENetOpenSSLLoadError, "Could not load SSL library.")
MERIDIAN_NET_EXCEPTION(ENetOSSLLoadingRootCertError, ENetOpenSSLLoadError, "Could not load root certificate.")
MERIDIAN_NET_EXCEPTION(ENetOSSLLoadingCertError, ENetOpenSSLLoadError, "Could not load certificate.")
MERIDIAN_NET_EXCEPTION(ENetOSSLLoadingKeyError, ENetOpenSSLLoadError, "Could not load key, check password.")
MERIDIAN_NET_EXCEPTION(ENetOSSLModeNotSet, ENetOpenSSLError, "Mode has not been set.")
MERIDIAN_NET_EXCEPTION(ENetOSSLGetMethodError, ENetOpenSSLError, "Error geting SSL method.")
MERIDIAN_NET_EXCEPTION(ENetOSSLCreatingContextError, ENetOpenSSLError, "Error creating SSL context.")
MERIDIAN_NET_EXCEPTION(ENetOSSLSettingCipherError, ENetOpenSSLError, "SetCipher failed.")
MERIDIAN_NET_EXCEPTION(ENetOSSLDataBindingError, ENetOpenSSLError, "Error binding data to SSL socket.")
MERIDIAN_NET_EXCEPTION(ENetOSSLConnectError, ENetOpenSSLError, "Error connecting with SSL.")
MERIDIAN_NET_EXCEPTION(ENetOSSLAcceptError, ENetOpenSSLError, "Error accepting connection with SSL.")
// The peer's certificate failed verification: "Peer certificate not verified:
// %s" with OpenSSL's reason ("certificate has expired", "hostname mismatch",
// ...); VerifyResult() is OpenSSL's verification code.
class ENetOSSLVerifyError : public ENetOSSLConnectError {
 public:
  ENetOSSLVerifyError(int64_t verify_result, const std::string& reason)
      : ENetOSSLConnectError("Peer certificate not verified: " + reason), verify_result_(verify_result), reason_(reason) {}
  int64_t VerifyResult() const { return verify_result_; }
  const std::string& Reason() const { return reason_; }

 private:
  int64_t verify_result_;
  std::string reason_;
};
// An established session failed while reading or writing (a protocol error
// or a damaged record); the connection cannot carry more data.
MERIDIAN_NET_EXCEPTION(ENetOSSLSessionError, ENetOpenSSLError, "Error reading or writing with SSL.")

}  // namespace meridian::net
