#include "fetch_errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include "net/exceptions.h"
#include "rtl/exceptions.h"
#include "transport/net_stack.h"

namespace meridian::fetch {
namespace {

TEST(DescribeFailure, MapsLibraryErrorsToExitCodes) {
  const TFailureContext before_connect{};
  const TFailureContext connected{false, true, false};
  const TFailureContext answered{false, true, true};
  const TFailureContext proxy{true, false, false};
  const net::ENetSocketError refused(net::kWSAECONNREFUSED, "Socket Error # 10061\r\nConnection refused.");
  const net::ENetSocketError unknown_host(net::kWSAHOST_NOT_FOUND, "Socket Error # 11001\r\nHost not found.");
  const net::ENetSocketError reset(net::kWSAECONNRESET, "Socket Error # 10054\r\nConnection reset by peer.");
  const net::ENetSocketError shut(net::kWSAESHUTDOWN, "Socket Error # 10058\r\nBroken pipe.");
  const struct {
    const std::exception& error;
    TFailureContext context;
    TFetchExitCode code;
  } cases[] = {
      {refused, before_connect, fxCouldNotConnect},
      {unknown_host, before_connect, fxHostNotResolved},
      {unknown_host, proxy, fxProxyNotResolved},
      {reset, connected, fxReceiveError},
      {shut, connected, fxSendError},
      {net::ENetReadTimeout(), answered, fxTimedOut},
      {net::ENetConnectTimeout(), before_connect, fxTimedOut},
      {net::ENetHTTPBodyIncomplete(), answered, fxPartialBody},
      {net::ENetHTTPHeadIncomplete(), answered, fxPartialBody},
      {net::ENetContentDecodingError(), answered, fxBadContentEncoding},
      {net::ENetHTTPInvalidChunkedBody(), answered, fxReceiveError},
      {net::ENetHTTPHeadTooLarge(), answered, fxInvalidResponse},
      {net::ENetHTTPConflictingContentLength(), answered, fxInvalidResponse},
      {net::ENetConnClosedGracefully(), connected, fxNothingReceived},
      {net::ENetConnClosedGracefully(), answered, fxReceiveError},
      {net::ENetUnknownProtocol(), before_connect, fxUnsupportedProtocol},
      {net::ENetIOHandlerPropInvalid(), before_connect, fxUnsupportedProtocol},
      {rtl::EConvertError("'x' is not a valid integer value"), before_connect, fxMalformedURL},
      {rtl::EWriteError("Failure writing output"), answered, fxWriteError},
      {net::ENetSocksServerConnectionRefusedError(), before_connect, fxProxyHandshake},
      {net::ENetSocksAuthError(), before_connect, fxProxyHandshake},
      {EFetchError(fxTooManyRedirects, "Maximum (3) redirects followed"), answered, fxTooManyRedirects},
      {EFetchError(fxOK, "no failure"), answered, fxReceiveError},
      {net::ENetURIMissingHost(), before_connect, fxMalformedURL},
      {net::ENetURIInvalidPort(), before_connect, fxMalformedURL},
      {net::ENetHTTPTargetLineBreak(), before_connect, fxMalformedURL},
      {net::ENetHTTPMethodNeedsHTTP11(), before_connect, fxUsage},
      {net::ENetHTTPUndefinedSituation(), connected, fxNothingReceived},
      {net::ENetHTTPUndefinedSituation(), answered, fxReceiveError},
      {net::ENetHTTPTunnelRefused(), answered, fxReceiveError},
      {net::ENetConnectException("Socket Error # 10061"), before_connect, fxCouldNotConnect},
      {net::ENetCoderUnevenSize("Uneven size in Encode."), before_connect, fxCouldNotConnect},
      {net::ENetClosedSocket(), connected, fxNothingReceived},
      {std::runtime_error("anything"), answered, fxReceiveError},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.code, DescribeFailure(c.error, c.context).code) << c.error.what();
  }
}

TEST(DescribeFailure, WritesOneLineWithTheLibraryMessage) {
  const net::ENetSocketError refused(net::kWSAECONNREFUSED, "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ("meridian-fetch: (7) Socket Error # 10061 Connection refused.",
            ErrorLine(DescribeFailure(refused, {})));
  // The library's empty message gets a description.
  EXPECT_EQ("meridian-fetch: (1) Unsupported protocol", ErrorLine(DescribeFailure(net::ENetUnknownProtocol(), {})));
}

}  // namespace
}  // namespace meridian::fetch
