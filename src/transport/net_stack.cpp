#include "transport/net_stack.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

#include "net/exceptions.h"
#include "rtl/text.h"

namespace meridian::net {

TNetStack* GStack = nullptr;

namespace {

// Each thread keeps its own last error: the connect thread and the caller's
// thread check failures on the same stack at the same time.
thread_local int32_t t_last_error = 0;

TNetStack::TNetStackFactory& StackFactory() {
  static TNetStack::TNetStackFactory factory;
  return factory;
}

struct ErrorText {
  int32_t code;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

bool IsDecimalByte(const std::string& part) {
  if (part.empty() || !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  int64_t value = 0;
  return rtl::TryStrToInt64(part, value) && value >= 0 && value <= 255;
}

}  // namespace

TNetStack::~TNetStack() = default;

std::unique_ptr<TNetStack> TNetStack::CreateStack() {
  if (StackFactory()) return StackFactory()();
  return CreatePlatformStack();
}

void TNetStack::SetStackFactory(TNetStackFactory factory) { StackFactory() = std::move(factory); }

bool TNetStack::CheckForSocketError(int64_t result) { return CheckForSocketError(result, std::span<const int32_t>()); }

bool TNetStack::CheckForSocketError(int64_t result, std::initializer_list<int32_t> ignore) {
  return CheckForSocketError(result, std::span<const int32_t>(ignore.begin(), ignore.size()));
}

bool TNetStack::CheckForSocketError(int64_t result, std::span<const int32_t> ignore) {
  if (result != -1) return false;
  t_last_error = WSGetLastError();
  if (std::find(ignore.begin(), ignore.end(), t_last_error) != ignore.end()) return true;
  RaiseSocketError(t_last_error);
}

void TNetStack::RaiseSocketError(int32_t code) { throw ENetSocketError(code, WSTranslateSocketErrorMsg(code)); }

int32_t TNetStack::LastError() const { return t_last_error; }

TNetStackSocketHandle TNetStack::CreateSocketHandle(int32_t socket_type, int32_t protocol, int32_t family) {
  TNetStackSocketHandle handle = WSSocket(family, socket_type, protocol);
  if (handle == kInvalidSocket) throw ENetInvalidSocket();
  return handle;
}

std::string TNetStack::ResolveHost(const std::string& host) {
  if (rtl::SameText(host, "LOCALHOST")) return "127.0.0.1";
  if (IsIP(host)) return host;
  return WSGetHostByName(host);
}

std::string TNetStack::WithoutBrackets(const std::string& host) {
  if (host.size() < 2 || host.front() != '[' || host.back() != ']') return host;
  std::string inner = host.substr(1, host.size() - 2);
  return IsIPv6(inner) ? inner : host;
}

std::vector<TNetAddress> TNetStack::ResolveHostAddresses(const std::string& given, TNetIPVersion version) {
  const std::string host = WithoutBrackets(given);
  const bool v4 = version != ivIPv6;
  const bool v6 = version != ivIPv4;
  if (rtl::SameText(host, "LOCALHOST")) {
    // IPv4 first, so that a server on 127.0.0.1 is reached as before.
    std::vector<TNetAddress> addresses;
    if (v4) addresses.push_back({kAfInet, "127.0.0.1"});
    if (v6) addresses.push_back({kAfInet6, "::1"});
    return addresses;
  }
  const int32_t family = AddressFamily(host);
  if (family != kAfUnspec) {
    if ((family == kAfInet && !v4) || (family == kAfInet6 && !v6)) RaiseSocketError(kWSAEAFNOSUPPORT);
    return {{family, host}};
  }
  return WSGetHostAddresses(host, v4 && v6 ? kAfUnspec : v4 ? kAfInet : kAfInet6);
}

int32_t TNetStack::AddressFamily(std::string_view text) {
  if (IsIP(text)) return kAfInet;
  if (IsIPv6(text)) return kAfInet6;
  return kAfUnspec;
}

bool TNetStack::IsIPv6(std::string_view text) {
  TIn6Addr address;
  return TranslateStringToTIn6Addr(text, address);
}

bool TNetStack::TranslateStringToTIn6Addr(std::string_view text, TIn6Addr& address) {
  // Longest form: eight groups of four and seven colons, or six groups and a
  // dotted IPv4 address; anything longer is no address.
  constexpr size_t kMaxLength = 45;
  if (text.size() < 2 || text.size() > kMaxLength) return false;
  std::array<uint16_t, 8> groups{};
  size_t count = 0;
  bool elided = false;
  size_t elided_at = 0;  // where "::" stands, when it does
  size_t i = 0;
  if (text.starts_with("::")) {
    elided = true;
    i = 2;
  } else if (text.front() == ':') {
    return false;
  }
  while (i < text.size()) {
    size_t end = i;
    uint32_t value = 0;
    while (end < text.size() && end - i < 5 && std::isxdigit(static_cast<unsigned char>(text[end])) != 0) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[end])));
      value = value * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
      ++end;
    }
    if (end < text.size() && text[end] == '.') {
      // A dotted IPv4 address as the last two groups.
      const std::string_view dotted = text.substr(i);
      if (!IsIP(dotted) || count > 6) return false;
      const std::array<std::string, 4> parts = SplitDottedQuad(dotted);
      uint32_t bytes[4];
      for (size_t k = 0; k < 4; ++k) bytes[k] = static_cast<uint32_t>(std::stoi(parts[k]));
      groups[count++] = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
      groups[count++] = static_cast<uint16_t>(bytes[2] << 8 | bytes[3]);
      i = text.size();
      break;
    }
    if (end == i || end - i > 4 || count == groups.size()) return false;
    groups[count++] = static_cast<uint16_t>(value);
    if (end == text.size()) {
      i = end;
      break;
    }
    if (text[end] != ':') return false;
    i = end + 1;
    if (i < text.size() && text[i] == ':') {
      if (elided) return false;
      elided = true;
      elided_at = count;
      ++i;
    } else if (i == text.size()) {
      return false;  // a single trailing ":"
    }
  }
  if (elided ? count > 7 : count != 8) return false;
  // The groups after "::" move to the end; the elided ones are zero.
  std::array<uint16_t, 8> full{};
  for (size_t k = 0; k < count; ++k) {
    const size_t at = elided && k >= elided_at ? k + (8 - count) : k;
    full[at] = groups[k];
  }
  for (size_t k = 0; k < 8; ++k) {
    address[2 * k] = static_cast<uint8_t>(full[k] >> 8);
    address[2 * k + 1] = static_cast<uint8_t>(full[k] & 0xff);
  }
  return true;
}

bool TNetStack::IsIP(std::string_view text) {
  const std::array<std::string, 4> parts = SplitDottedQuad(text);
  return std::all_of(parts.begin(), parts.end(), IsDecimalByte);
}

bool TNetStack::EndPendingConnect(TNetStackSocketHandle socket) {
  WSShutdown(socket, kSdBoth);
  return false;
}

std::string TNetStack::WSTranslateSocketErrorMsg(int32_t code) {
  return rtl::Format("Socket Error # %d\r\n%s", code, SocketErrorText(code));
}

std::array<std::string, 4> TNetStack::SplitDottedQuad(std::string_view text) {
  std::string rest(text);
  std::array<std::string, 4> parts;
  for (size_t i = 0; i < 3; ++i) parts[i] = rtl::Fetch(rest, ".");
  parts[3] = std::move(rest);
  return parts;
}

const char* TNetStack::SocketErrorText(int32_t code) {
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.code == code) return entry.text;
  }
  return "";
}

}  // namespace meridian::net
