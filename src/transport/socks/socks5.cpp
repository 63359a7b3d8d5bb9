// The SOCKS 5 connect handshake (RFC 1928) with the user name and password
// method (RFC 1929).
#include <array>

#include "net/exceptions.h"
#include "transport/net_stack.h"
#include "transport/socks/socks_info.h"

namespace meridian::net {

namespace {

constexpr uint8_t kSocks5Version = 5;
constexpr uint8_t kSocks5Connect = 1;
constexpr uint8_t kMethodNone = 0;
constexpr uint8_t kMethodUsernamePassword = 2;
constexpr uint8_t kMethodNoneAcceptable = 255;
constexpr uint8_t kUsernamePasswordVersion = 1;

constexpr uint8_t kAddressIPv4 = 1;
constexpr uint8_t kAddressName = 3;
constexpr uint8_t kAddressIPv6 = 4;

// Version, result, reserved, address type and the first byte of the address
// (the length of a name); the rest follows from the address type.
constexpr size_t kReplyHeadLength = 5;
// Address and port (2 bytes) less the byte already read; a name is at most
// 255 bytes, so a reply is never longer than 5 + 255 + 2.
constexpr size_t kIPv4RestLength = 4 + 2 - 1;
constexpr size_t kIPv6RestLength = 16 + 2 - 1;
constexpr size_t kMaxReplyRest = 255 + 2;

void AppendText(std::string& message, const std::string& text) {
  message += static_cast<char>(text.size());
  message += text;
}

// The exception of a non-zero result code of the connect reply.
[[noreturn]] void RaiseConnectResult(uint8_t code) {
  switch (code) {
    case 1:
      throw ENetSocksServerGeneralError();
    case 2:
      throw ENetSocksServerPermissionError();
    case 3:
      throw ENetSocksServerNetUnreachableError();
    case 4:
      throw ENetSocksServerHostUnreachableError();
    case 5:
      throw ENetSocksServerConnectionRefusedError();
    case 6:
      throw ENetSocksServerTTLExpiredError();
    case 7:
      throw ENetSocksServerCommandError();
    case 8:
      throw ENetSocksServerAddressError();
    default:
      throw ENetSocksUnknownError();
  }
}

}  // namespace

void TNetSocksInfo::NegotiateSocks5(const std::string& host, int32_t port) {
  const bool with_password = authentication_ == saUsernamePassword;
  // Everything is checked before the first byte goes out, so a refused value
  // leaves the proxy connection untouched.
  CheckText(host, "Host name", false);
  if (with_password) {
    CheckText(username_, "User name", false);
    CheckText(password_, "Password", false);
  }

  const uint8_t method = with_password ? kMethodUsernamePassword : kMethodNone;
  SendRequest(std::string{static_cast<char>(kSocks5Version), 1, static_cast<char>(method)});
  std::array<uint8_t, kMaxReplyRest> reply{};
  ReceiveSocks5Reply(reply.data(), 2);
  if (reply[1] != method || reply[1] == kMethodNoneAcceptable) throw ENetSocksAuthMethodError();

  if (with_password) {
    std::string credentials(1, static_cast<char>(kUsernamePasswordVersion));
    AppendText(credentials, username_);
    AppendText(credentials, password_);
    SendRequest(credentials);
    ReceiveSocks5Reply(reply.data(), 2);
    if (reply[1] != 0) throw ENetSocksAuthError();
  }

  // The host goes by name, even a dotted address: the proxy resolves it. An
  // IPv6 address goes as its sixteen bytes: as a name, a proxy would have to
  // know to read the colon form.
  TIn6Addr ipv6{};
  const bool is_ipv6 = TNetStack::TranslateStringToTIn6Addr(host, ipv6);
  std::string request{static_cast<char>(kSocks5Version), static_cast<char>(kSocks5Connect), 0,
                      static_cast<char>(is_ipv6 ? kAddressIPv6 : kAddressName)};
  if (is_ipv6) {
    request.append(reinterpret_cast<const char*>(ipv6.data()), ipv6.size());
  } else {
    AppendText(request, host);
  }
  AppendPort(request, port);
  SendRequest(request);

  ReceiveSocks5Reply(reply.data(), kReplyHeadLength);
  if (reply[1] != 0) RaiseConnectResult(reply[1]);
  size_t rest = 0;
  switch (reply[3]) {
    case kAddressIPv4:
      rest = kIPv4RestLength;
      break;
    case kAddressName:
      rest = size_t{reply[4]} + 2;
      break;
    case kAddressIPv6:
      rest = kIPv6RestLength;
      break;
    default:
      throw ENetSocksReplyError();
  }
  // The bound address and port are of no use to a client; they are read only
  // so that the target's bytes start right after them.
  ReceiveSocks5Reply(reply.data(), rest);
}

}  // namespace meridian::net
