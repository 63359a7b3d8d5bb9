// Which exit code each failure of the network library maps to.
#include "fetch_errors.h"

#include <new>

#include "net/exceptions.h"
#include "rtl/exceptions.h"
#include "transport/net_stack.h"

namespace meridian::fetch {

namespace {

// Socket errors joined into one line; an empty message gets `fallback`.
std::string OneLine(const std::string& message, const char* fallback) {
  if (message.empty()) return fallback;
  std::string line;
  line.reserve(message.size());
  for (size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
      continue;
    }
    line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

TFetchExitCode SocketErrorCode(int32_t error, const TFailureContext& context) {
  switch (error) {
    case net::kWSAHOST_NOT_FOUND:
    case net::kWSATRY_AGAIN:
    case net::kWSANO_RECOVERY:
      return context.via_proxy ? fxProxyNotResolved : fxHostNotResolved;
    case net::kWSAETIMEDOUT:
      return context.connected ? fxReceiveError : fxTimedOut;
    case net::kWSAESHUTDOWN:
      return fxSendError;
    default:
      return context.connected ? fxReceiveError : fxCouldNotConnect;
  }
}

TFetchFailure DescribeByClass(const std::exception& error, const TFailureContext& context);

}  // namespace

TFetchFailure DescribeFailure(const std::exception& error, const TFailureContext& context) {
  TFetchFailure failure = DescribeByClass(error, context);
  // Whatever ended a transfer, it did not succeed.
  if (failure.code == fxOK) failure.code = fxReceiveError;
  return failure;
}

namespace {

TFetchFailure DescribeByClass(const std::exception& error, const TFailureContext& context) {
  if (const auto* own = dynamic_cast<const EFetchError*>(&error)) return {own->Code(), own->what()};
  if (dynamic_cast<const std::bad_alloc*>(&error)) return {fxOutOfMemory, "Out of memory"};

  const std::string message = error.what();
  auto failure = [&](TFetchExitCode code, const char* fallback) {
    return TFetchFailure{code, OneLine(message, fallback)};
  };
  if (dynamic_cast<const net::ENetReadTimeout*>(&error) || dynamic_cast<const net::ENetConnectTimeout*>(&error)) {
    return failure(fxTimedOut, "Timed out");
  }
  // The SOCKS proxy refused the tunnel or broke off the handshake.
  if (dynamic_cast<const net::ENetSocksError*>(&error)) return failure(fxProxyHandshake, "Proxy handshake failed");
  if (dynamic_cast<const net::ENetHTTPUploadNotRewindable*>(&error)) {
    return failure(fxSendRewind, "Necessary data rewind wasn't possible");
  }
  if (dynamic_cast<const net::ENetProxyUnsupportedScheme*>(&error)) {
    return failure(fxCouldNotConnect, "Unsupported proxy scheme");
  }
  if (dynamic_cast<const net::ENetProxySyntax*>(&error)) return failure(fxProxyNotResolved, "Unsupported proxy syntax");
  if (dynamic_cast<const net::ENetHTTPBodyIncomplete*>(&error)) return failure(fxPartialBody, "Partial body");
  if (dynamic_cast<const net::ENetContentDecodingError*>(&error)) {
    return failure(fxBadContentEncoding, "Bad content encoding");
  }
  // A head cut short is a transfer cut short, as a short body is.
  if (dynamic_cast<const net::ENetHTTPHeadIncomplete*>(&error)) return failure(fxPartialBody, "Partial head");
  if (dynamic_cast<const net::ENetHTTPInvalidChunkedBody*>(&error)) {
    return failure(fxReceiveError, "Invalid chunked body");
  }
  if (dynamic_cast<const net::ENetHTTPMalformedResponse*>(&error) ||
      dynamic_cast<const net::ENetReadLnMaxLineLengthExceeded*>(&error)) {
    return failure(fxInvalidResponse, "Invalid response");
  }
  if (dynamic_cast<const net::ENetUnknownProtocol*>(&error)) return failure(fxUnsupportedProtocol, "Unsupported protocol");
  if (dynamic_cast<const net::ENetHTTPTargetLineBreak*>(&error)) return failure(fxMalformedURL, "Malformed URL");
  if (dynamic_cast<const net::ENetHTTPRequestRefused*>(&error)) return failure(fxUsage, "Request refused");
  if (dynamic_cast<const net::ENetHTTPUndefinedSituation*>(&error)) {
    // The peer closed after a successful status, before its body.
    return context.received ? failure(fxReceiveError, "Connection closed")
                            : failure(fxNothingReceived, "Empty reply from server");
  }
  if (dynamic_cast<const net::ENetHTTPTunnelRefused*>(&error)) return failure(fxReceiveError, "Tunnel refused");
  if (dynamic_cast<const net::ENetConnectException*>(&error)) return failure(fxCouldNotConnect, "Could not connect");
  // TLS: the set-up of the context, then the handshake.
  if (dynamic_cast<const net::ENetOSSLVerifyError*>(&error)) return failure(fxPeerNotVerified, "Peer not verified");
  if (dynamic_cast<const net::ENetOSSLLoadingRootCertError*>(&error)) {
    return failure(fxCACertificate, "Problem with the CA certificate");
  }
  if (dynamic_cast<const net::ENetOSSLLoadingCertError*>(&error) ||
      dynamic_cast<const net::ENetOSSLLoadingKeyError*>(&error)) {
    return failure(fxTLSCertificate, "Problem with the local certificate");
  }
  if (dynamic_cast<const net::ENetOSSLSettingCipherError*>(&error)) return failure(fxTLSCipher, "Cipher list refused");
  // A session that fails after its handshake is a failed transfer like any
  // other; everything else of OpenSSL's (missing library included) is a failed
  // handshake.
  if (dynamic_cast<const net::ENetOpenSSLError*>(&error) && !dynamic_cast<const net::ENetOSSLSessionError*>(&error)) {
    return failure(fxTLSConnect, "TLS connect error");
  }
  // https needs a TLS handler, which this client does not attach.
  if (dynamic_cast<const net::ENetIOHandlerPropInvalid*>(&error)) {
    return failure(fxUnsupportedProtocol, "Unsupported protocol");
  }
  if (dynamic_cast<const net::ENetURIException*>(&error) || dynamic_cast<const rtl::EConvertError*>(&error)) {
    return failure(fxMalformedURL, "Malformed URL");
  }
  if (dynamic_cast<const net::ENetConnClosedGracefully*>(&error)) {
    return context.received ? failure(fxReceiveError, "Connection closed") : failure(fxNothingReceived, "Empty reply from server");
  }
  if (const auto* socket = dynamic_cast<const net::ENetSocketError*>(&error)) {
    return failure(SocketErrorCode(socket->LastError(), context), "Socket error");
  }
  if (dynamic_cast<const net::ENetNotConnected*>(&error)) return failure(fxSendError, "Not connected");
  if (dynamic_cast<const net::ENetSocketHandleError*>(&error)) return failure(fxCouldNotConnect, "Could not connect");
  if (dynamic_cast<const rtl::EWriteError*>(&error)) return failure(fxWriteError, "Failure writing output");
  if (dynamic_cast<const net::ENetException*>(&error)) {
    if (!context.connected) return failure(fxCouldNotConnect, "Network failure");
    return context.received ? failure(fxReceiveError, "Network failure")
                            : failure(fxNothingReceived, "Empty reply from server");
  }
  return failure(fxReceiveError, "Failure");
}

}  // namespace

std::string ErrorLine(const TFetchFailure& failure) {
  return "meridian-fetch: (" + std::to_string(static_cast<int32_t>(failure.code)) + ") " + failure.message;
}

}  // namespace meridian::fetch
