#include "transport/net_stack.h"

#include <algorithm>
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

TNetStackSocketHandle TNetStack::CreateSocketHandle(int32_t socket_type, int32_t protocol) {
  TNetStackSocketHandle handle = WSSocket(kAfInet, socket_type, protocol);
  if (handle == kInvalidSocket) throw ENetInvalidSocket();
  return handle;
}

std::string TNetStack::ResolveHost(const std::string& host) {
  if (rtl::SameText(host, "LOCALHOST")) return "127.0.0.1";
  if (IsIP(host)) return host;
  return WSGetHostByName(host);
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
