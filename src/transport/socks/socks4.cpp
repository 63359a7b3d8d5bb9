// The SOCKS 4 and 4A connect handshake.
#include <array>

#include "net/exceptions.h"
#include "rtl/text.h"
#include "transport/net_stack.h"
#include "transport/socks/socks_info.h"

namespace meridian::net {

namespace {

constexpr uint8_t kSocks4Version = 4;
constexpr uint8_t kSocksConnect = 1;
constexpr size_t kSocks4ReplyLength = 8;

constexpr uint8_t kSocks4Granted = 90;
constexpr uint8_t kSocks4Failed = 91;
constexpr uint8_t kSocks4NoIdentd = 92;
constexpr uint8_t kSocks4IdentMismatch = 93;

// SOCKS 4A marks a request whose host name follows the user id with the
// otherwise invalid address 0.0.0.x (x not 0).
constexpr const char* kSocks4AMarker = "0.0.0.1";

}  // namespace

void TNetSocksInfo::NegotiateSocks4(const std::string& host, int32_t port) {
  const bool by_name = version_ == svSocks4A;
  CheckText(username_, "User name", true);
  if (by_name) CheckText(host, "Host name", true);

  // The request has room for an IPv4 address only; 4A sends the text as a
  // name, for the proxy to resolve.
  if (!by_name && TNetStack::IsIPv6(host)) {
    throw ENetSocksValueError(rtl::Format("SOCKS 4 cannot reach the IPv6 address %s.", host.c_str()));
  }
  TInAddr address{};
  GStack->TranslateStringToTInAddr(by_name ? kSocks4AMarker : GStack->ResolveHost(host), address);

  std::string request;
  request += static_cast<char>(kSocks4Version);
  request += static_cast<char>(kSocksConnect);
  AppendPort(request, port);
  request.append(reinterpret_cast<const char*>(address.data()), address.size());
  request += username_;
  request += '\0';
  if (by_name) {
    request += host;
    request += '\0';
  }
  SendRequest(request);

  std::array<uint8_t, kSocks4ReplyLength> reply{};
  ReceiveReply(reply.data(), reply.size());
  switch (reply[1]) {
    case kSocks4Granted:
      return;
    case kSocks4Failed:
      throw ENetSocksRequestFailed();
    case kSocks4NoIdentd:
      throw ENetSocksRequestServerFailed();
    case kSocks4IdentMismatch:
      throw ENetSocksRequestIdentFailed();
    default:
      throw ENetSocksUnknownError();
  }
}

}  // namespace meridian::net
