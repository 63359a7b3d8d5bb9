#include "transport/posix/net_stack_posix.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "net/exceptions.h"
#include "rtl/text.h"
#include "transport/socket_list.h"

namespace meridian::net {

static_assert(AF_UNSPEC == kAfUnspec && AF_INET == kAfInet && SOCK_STREAM == kSockStream && SOCK_DGRAM == kSockDgram);
static_assert(SHUT_RD == kSdReceive && SHUT_WR == kSdSend && SHUT_RDWR == kSdBoth);
static_assert(MSG_OOB == kMsgOob && MSG_PEEK == kMsgPeek);
static_assert((kMsgDontWait & (MSG_OOB | MSG_PEEK)) == 0);

namespace {

// The flags of a send or receive as the platform spells them: the out-of-band
// and peek bits are the same, kMsgDontWait is not.
int NativeFlags(int32_t flags) {
  return (flags & ~kMsgDontWait) | ((flags & kMsgDontWait) != 0 ? MSG_DONTWAIT : 0);
}

// The error of the calling thread's last failed call, in WinSock numbering.
thread_local int32_t t_platform_error = 0;

struct ErrnoCode {
  int error;
  int32_t code;
};

// POSIX errno values and the WinSock numbers they stand for. EAGAIN is
// EWOULDBLOCK on Linux; EPIPE is how Linux reports a send after shutdown.
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},           {EBADF, 10009},           {EACCES, 10013},        {EPERM, 10013},
    {EFAULT, 10014},          {EINVAL, 10022},          {EMFILE, 10024},        {ENFILE, 10024},
    {EAGAIN, 10035},          {EINPROGRESS, 10036},     {EALREADY, 10037},      {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},    {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
    {ENETUNREACH, 10051},     {ENETRESET, 10052},       {ECONNABORTED, 10053},  {ECONNRESET, 10054},
    {ENOBUFS, 10055},         {ENOMEM, 10055},          {EISCONN, 10056},       {ENOTCONN, 10057},
    {EPIPE, 10058},           {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059},  {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},    {ELOOP, 10062},           {ENAMETOOLONG, 10063},  {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
};

// Records the current errno as the thread's platform error; returns -1 so
// that callers can `return Fail();`.
int32_t Fail() {
  t_platform_error = TNetStackPosix::MapErrno(errno);
  return -1;
}

int Fd(TNetStackSocketHandle socket) { return static_cast<int>(socket); }

// The platform's number of a family numbered as WinSock numbers it.
int NativeFamily(int32_t family) { return family == kAfInet6 ? AF_INET6 : family; }

// A socket address of either family, with the length the platform wants.
struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = sizeof(sockaddr_in);
  sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

// The address `ip` (empty: any) and `port` of `family`. An IPv6 text that
// is no address gives false with the thread's error set to 10022.
bool MakeAddress(TNetStackPosix& stack, int32_t family, const std::string& ip, uint16_t port,
                 SocketAddress& result) {
  if (family == kAfInet6) {
    auto& address = reinterpret_cast<sockaddr_in6&>(result.storage);
    result.length = sizeof address;
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(port);
    address.sin6_addr = in6addr_any;
    if (!ip.empty() && inet_pton(AF_INET6, ip.c_str(), &address.sin6_addr) != 1) {
      t_platform_error = kWSAEINVAL;
      return false;
    }
    return true;
  }
  auto& address = reinterpret_cast<sockaddr_in&>(result.storage);
  result.length = sizeof address;
  address.sin_family = static_cast<sa_family_t>(family);
  address.sin_port = htons(port);
  if (ip.empty()) {
    address.sin_addr.s_addr = htonl(INADDR_ANY);
  } else {
    TInAddr bytes;
    stack.TranslateStringToTInAddr(ip, bytes);
    std::memcpy(&address.sin_addr, bytes.data(), bytes.size());
  }
  return true;
}

// The text of an IPv6 address in its shortest form (RFC 5952).
std::string IPv6Text(const in6_addr& address) {
  char text[INET6_ADDRSTRLEN] = {};
  inet_ntop(AF_INET6, &address, text, sizeof text);
  return text;
}

// Address text, port and family (numbered as ours) of a socket address.
void ReadAddress(TNetStackPosix& stack, const sockaddr_storage& storage, std::string& ip, uint16_t& port,
                 int32_t* family = nullptr) {
  if (storage.ss_family == AF_INET6) {
    const auto& address = reinterpret_cast<const sockaddr_in6&>(storage);
    ip = IPv6Text(address.sin6_addr);
    port = ntohs(address.sin6_port);
    if (family != nullptr) *family = kAfInet6;
    return;
  }
  const auto& address = reinterpret_cast<const sockaddr_in&>(storage);
  TInAddr bytes;
  std::memcpy(bytes.data(), &address.sin_addr, bytes.size());
  ip = stack.TranslateTInAddrToString(bytes);
  port = ntohs(address.sin_port);
  if (family != nullptr) *family = address.sin_family;
}

// Reads a socket's peer or local name; a failure raises ENetSocketError.
void ReadName(TNetStackPosix& stack, int (*get_name)(int, sockaddr*, socklen_t*), TNetStackSocketHandle socket,
              int32_t& family, std::string& ip, uint16_t& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (get_name(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    t_platform_error = TNetStackPosix::MapErrno(errno);
    stack.CheckForSocketError(-1);
  }
  ReadAddress(stack, address, ip, port, &family);
}

// Runs a call again while a signal interrupts it.
template <typename Call>
auto Retrying(Call call) {
  for (;;) {
    auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

// Option numbers in WinSock numbering and their POSIX counterparts.
struct OptionMap {
  int32_t level, option;
  int native_level, native_option;
};

constexpr OptionMap kOptions[] = {
    {kSolSocket, kSoReuseAddr, SOL_SOCKET, SO_REUSEADDR}, {kSolSocket, kSoKeepAlive, SOL_SOCKET, SO_KEEPALIVE},
    {kSolSocket, kSoLinger, SOL_SOCKET, SO_LINGER},       {kSolSocket, kSoSndBuf, SOL_SOCKET, SO_SNDBUF},
    {kSolSocket, kSoRcvBuf, SOL_SOCKET, SO_RCVBUF},       {kSolSocket, kSoSndTimeo, SOL_SOCKET, SO_SNDTIMEO},
    {kSolSocket, kSoRcvTimeo, SOL_SOCKET, SO_RCVTIMEO},   {kSolSocket, kSoError, SOL_SOCKET, SO_ERROR},
    {kIpProtoTcp, kTcpNoDelay, IPPROTO_TCP, TCP_NODELAY},
};

// Options not in the table pass through unchanged.
void MapOption(int32_t level, int32_t option, int& native_level, int& native_option) {
  native_level = level;
  native_option = option;
  for (const OptionMap& entry : kOptions) {
    if (entry.level == level && entry.option == option) {
      native_level = entry.native_level;
      native_option = entry.native_option;
      return;
    }
  }
}

bool IsTimeoutOption(int native_level, int native_option) {
  return native_level == SOL_SOCKET && (native_option == SO_SNDTIMEO || native_option == SO_RCVTIMEO);
}

int32_t InvalidArgument() {
  t_platform_error = kWSAEINVAL;
  return -1;
}

// Resolves `host` to its addresses of `family` (kAfUnspec: both), in the
// resolver's order and without repeats; false (with the thread's platform
// error set) when the lookup fails or finds none.
bool LookUp(TNetStackPosix& stack, const std::string& host, int32_t family, std::vector<TNetAddress>& addresses) {
  addrinfo hints{};
  hints.ai_family = NativeFamily(family);
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  const int result = getaddrinfo(host.c_str(), nullptr, &hints, &answer);
  if (result != 0) {
    t_platform_error = TNetStackPosix::MapResolverError(result, errno);
    return false;
  }
  // A resolver's answer is short; the bound keeps a hostile one (a hosts
  // file or name service with thousands of entries) from making a connect
  // try them all.
  constexpr size_t kMaxAddresses = 64;
  for (const addrinfo* entry = answer; entry != nullptr && addresses.size() < kMaxAddresses;
       entry = entry->ai_next) {
    if (entry->ai_addr == nullptr) continue;
    TNetAddress address;
    if (entry->ai_family == AF_INET && (family == kAfInet || family == kAfUnspec)) {
      TInAddr bytes;
      std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, bytes.size());
      address = {kAfInet, stack.TranslateTInAddrToString(bytes)};
    } else if (entry->ai_family == AF_INET6 && (family == kAfInet6 || family == kAfUnspec)) {
      address = {kAfInet6, IPv6Text(reinterpret_cast<const sockaddr_in6*>(entry->ai_addr)->sin6_addr)};
    } else {
      continue;
    }
    if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) addresses.push_back(address);
  }
  freeaddrinfo(answer);
  if (addresses.empty()) {
    t_platform_error = kWSAHOST_NOT_FOUND;
    return false;
  }
  return true;
}

void StartSocketLibrary() {
  static std::once_flag started;
  std::call_once(started, [] {
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      sigemptyset(&ignore.sa_mask);
      sigaction(SIGPIPE, &ignore, nullptr);
    }
  });
}

}  // namespace

std::unique_ptr<TNetStack> TNetStack::CreatePlatformStack() { return std::make_unique<TNetStackPosix>(); }

std::unique_ptr<TNetSocketList> TNetSocketList::CreateSocketList() { return std::make_unique<TNetSocketListPosix>(); }

TNetStackPosix::TNetStackPosix() { StartSocketLibrary(); }

int32_t TNetStackPosix::MapErrno(int error) {
  for (const ErrnoCode& entry : kErrnoCodes) {
    if (entry.error == error) return entry.code;
  }
  return error;
}

int32_t TNetStackPosix::MapResolverError(int resolver_error, int error) {
  switch (resolver_error) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return kWSAHOST_NOT_FOUND;
    case EAI_AGAIN:
      return kWSATRY_AGAIN;
    case EAI_MEMORY:
      return kWSAENOBUFS;
    case EAI_SYSTEM:
      return MapErrno(error);
    case EAI_FAMILY:
    case EAI_SOCKTYPE:
    case EAI_BADFLAGS:
      return kWSAEINVAL;
    default:
      return kWSANO_RECOVERY;
  }
}

// ---- Local addresses and names ----

void TNetStackPosix::PopulateLocalAddresses() {
  if (!local_addresses_) local_addresses_ = std::make_unique<std::vector<std::string>>();
  local_addresses_->clear();
  std::vector<TNetAddress> addresses;
  if (!LookUp(*this, WSGetHostName(), kAfInet, addresses)) CheckForSocketError(-1);
  for (TNetAddress& address : addresses) local_addresses_->push_back(std::move(address.ip));
}

std::string TNetStackPosix::WSGetLocalAddress() {
  const std::vector<std::string>& addresses = WSGetLocalAddresses();
  return addresses.empty() ? std::string() : addresses.front();
}

const std::vector<std::string>& TNetStackPosix::WSGetLocalAddresses() {
  if (!local_addresses_) local_addresses_ = std::make_unique<std::vector<std::string>>();
  PopulateLocalAddresses();
  return *local_addresses_;
}

std::string TNetStackPosix::WSGetHostByName(const std::string& host) {
  std::vector<TNetAddress> addresses;
  if (!LookUp(*this, host, kAfInet, addresses)) CheckForSocketError(-1);
  return addresses.front().ip;
}

std::vector<TNetAddress> TNetStackPosix::WSGetHostAddresses(const std::string& host, int32_t family) {
  std::vector<TNetAddress> addresses;
  if (!LookUp(*this, host, family, addresses)) CheckForSocketError(-1);
  return addresses;
}

std::string TNetStackPosix::WSGetHostName() {
  char name[251] = {};
  if (gethostname(name, 250) != 0) {
    Fail();
    return std::string();
  }
  return std::string(name);  // cut at the first NUL
}

std::string TNetStackPosix::WSGetHostByAddr(const std::string& ip) {
  SocketAddress address;
  const int32_t family = AddressFamily(ip) == kAfInet6 ? kAfInet6 : kAfInet;
  if (!MakeAddress(*this, family, ip, 0, address)) CheckForSocketError(-1);
  char host[NI_MAXHOST] = {};
  const int result = getnameinfo(address.get(), address.length, host, sizeof host, nullptr, 0, NI_NAMEREQD);
  if (result != 0) {
    t_platform_error = MapResolverError(result, errno);
    CheckForSocketError(-1);
  }
  return std::string(host);
}

uint16_t TNetStackPosix::WSGetServByName(const std::string& service) {
  servent entry{};
  servent* found = nullptr;
  char buffer[4096];
  if (getservbyname_r(service.c_str(), nullptr, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return ntohs(static_cast<uint16_t>(found->s_port));
  }
  // Not a known name: a port number, which must fit in 16 bits (a larger one
  // would silently name another port).
  int64_t port = 0;
  if (!rtl::TryStrToInt64(service, port) || port < 0 || port > 65535) throw ENetInvalidServiceName(service);
  return static_cast<uint16_t>(port);
}

std::vector<std::string> TNetStackPosix::WSGetServByPort(uint16_t port) {
  std::vector<std::string> names;
  servent entry{};
  servent* found = nullptr;
  char buffer[4096];
  if (getservbyport_r(htons(port), nullptr, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    names.emplace_back(found->s_name);
    for (char** alias = found->s_aliases; alias != nullptr && *alias != nullptr; ++alias) names.emplace_back(*alias);
  }
  return names;
}

// ---- Byte order ----

uint16_t TNetStackPosix::WSHToNs(uint16_t value) { return htons(value); }
uint16_t TNetStackPosix::WSNToHs(uint16_t value) { return ntohs(value); }
uint32_t TNetStackPosix::WSHToNL(uint32_t value) { return htonl(value); }
uint32_t TNetStackPosix::WSNToHL(uint32_t value) { return ntohl(value); }

// ---- Sockets ----

TNetStackSocketHandle TNetStackPosix::WSSocket(int32_t family, int32_t type, int32_t protocol) {
  // Close-on-exec: programs the process starts must not inherit connections.
  const int fd = socket(NativeFamily(family), type | SOCK_CLOEXEC, protocol);
  if (fd < 0) return Fail();
  return fd;
}

TNetStackSocketHandle TNetStackPosix::WSAccept(TNetStackSocketHandle socket, std::string& ip, uint16_t& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  const int fd = Retrying([&] { return accept4(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC); });
  if (fd < 0) return Fail();
  ReadAddress(*this, address, ip, port);
  return fd;
}

int32_t TNetStackPosix::WSBind(TNetStackSocketHandle socket, int32_t family, const std::string& ip, uint16_t port) {
  SocketAddress address;
  if (!MakeAddress(*this, family, ip, port, address)) return -1;
  if (bind(Fd(socket), address.get(), address.length) != 0) return Fail();
  return 0;
}

int32_t TNetStackPosix::WSCloseSocket(TNetStackSocketHandle socket) {
  // No retry on EINTR: Linux has released the descriptor either way.
  if (close(Fd(socket)) != 0) return Fail();
  return 0;
}

int32_t TNetStackPosix::WSConnect(TNetStackSocketHandle socket, int32_t family, const std::string& ip,
                                  uint16_t port) {
  SocketAddress address;
  if (!MakeAddress(*this, family, ip, port, address)) return -1;
  if (connect(Fd(socket), address.get(), address.length) == 0) return 0;
  if (errno != EINTR) return Fail();
  // An interrupted blocking connect goes on in the background; wait for it
  // to end and report its outcome as the connect's own.
  pollfd entry{Fd(socket), POLLOUT, 0};
  if (Retrying([&] { return poll(&entry, 1, -1); }) < 0) return Fail();
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return Fail();
  if (error == 0) return 0;
  errno = error;
  return Fail();
}

int32_t TNetStackPosix::WSListen(TNetStackSocketHandle socket, int32_t backlog) {
  if (listen(Fd(socket), backlog) != 0) return Fail();
  return 0;
}

int32_t TNetStackPosix::WSRecv(TNetStackSocketHandle socket, void* buffer, int32_t length, int32_t flags) {
  if (length < 0) return InvalidArgument();
  const ssize_t count =
      Retrying([&] { return recv(Fd(socket), buffer, static_cast<size_t>(length), NativeFlags(flags)); });
  if (count < 0) return Fail();
  return static_cast<int32_t>(count);
}

int32_t TNetStackPosix::WSRecvFrom(TNetStackSocketHandle socket, void* buffer, int32_t length, int32_t flags,
                                   std::string& ip, uint16_t& port) {
  if (length < 0) return InvalidArgument();
  sockaddr_storage address{};
  socklen_t address_length = sizeof address;
  const ssize_t count = Retrying([&] {
    return recvfrom(Fd(socket), buffer, static_cast<size_t>(length), flags, reinterpret_cast<sockaddr*>(&address),
                    &address_length);
  });
  if (count < 0) return Fail();
  ReadAddress(*this, address, ip, port);
  return static_cast<int32_t>(count);
}

int32_t TNetStackPosix::WSSend(TNetStackSocketHandle socket, const void* buffer, int32_t length, int32_t flags) {
  if (length < 0) return InvalidArgument();
  const ssize_t count =
      Retrying([&] { return send(Fd(socket), buffer, static_cast<size_t>(length), NativeFlags(flags) | MSG_NOSIGNAL); });
  if (count < 0) return Fail();
  return static_cast<int32_t>(count);
}

int32_t TNetStackPosix::WSSendTo(TNetStackSocketHandle socket, const void* buffer, int32_t length, int32_t flags,
                                 const std::string& ip, uint16_t port) {
  if (length < 0) return InvalidArgument();
  SocketAddress address;
  if (!MakeAddress(*this, AddressFamily(ip) == kAfInet6 ? kAfInet6 : kAfInet, ip, port, address)) return -1;
  const ssize_t count = Retrying([&] {
    return sendto(Fd(socket), buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL, address.get(),
                  address.length);
  });
  if (count < 0) return Fail();
  return static_cast<int32_t>(count);
}

int32_t TNetStackPosix::WSShutdown(TNetStackSocketHandle socket, int32_t how) {
  if (shutdown(Fd(socket), how) != 0) return Fail();
  return 0;
}

int32_t TNetStackPosix::WSSetNonBlocking(TNetStackSocketHandle socket, bool non_blocking) {
  const int flags = fcntl(Fd(socket), F_GETFL);
  if (flags < 0) return Fail();
  const int wanted = non_blocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  if (wanted != flags && fcntl(Fd(socket), F_SETFL, wanted) != 0) return Fail();
  return 0;
}

// ---- Options and names ----

int32_t TNetStackPosix::WSSetSockOpt(TNetStackSocketHandle socket, int32_t level, int32_t option, const void* value,
                                     int32_t length) {
  if (length < 0 || (value == nullptr && length > 0)) return InvalidArgument();
  int native_level = 0;
  int native_option = 0;
  MapOption(level, option, native_level, native_option);
  int result = 0;
  if (IsTimeoutOption(native_level, native_option)) {
    // Milliseconds in a uint32_t here; a timeval on POSIX.
    if (length < static_cast<int32_t>(sizeof(uint32_t))) return InvalidArgument();
    uint32_t ms = 0;
    std::memcpy(&ms, value, sizeof ms);
    timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
    result = setsockopt(Fd(socket), native_level, native_option, &tv, sizeof tv);
  } else if (native_level == SOL_SOCKET && native_option == SO_LINGER) {
    if (length < static_cast<int32_t>(sizeof(TNetLinger))) return InvalidArgument();
    TNetLinger given{};
    std::memcpy(&given, value, sizeof given);
    linger native{given.l_onoff != 0 ? 1 : 0, given.l_linger};
    result = setsockopt(Fd(socket), native_level, native_option, &native, sizeof native);
  } else {
    result = setsockopt(Fd(socket), native_level, native_option, value, static_cast<socklen_t>(length));
  }
  if (result != 0) return Fail();
  return 0;
}

int32_t TNetStackPosix::WSGetSockOpt(TNetStackSocketHandle socket, int32_t level, int32_t option, void* value,
                                     int32_t& length) {
  if (length < 0 || (value == nullptr && length > 0)) return InvalidArgument();
  int native_level = 0;
  int native_option = 0;
  MapOption(level, option, native_level, native_option);
  if (IsTimeoutOption(native_level, native_option)) {
    if (length < static_cast<int32_t>(sizeof(uint32_t))) return InvalidArgument();
    timeval tv{};
    socklen_t size = sizeof tv;
    if (getsockopt(Fd(socket), native_level, native_option, &tv, &size) != 0) return Fail();
    const uint32_t ms = static_cast<uint32_t>(tv.tv_sec * 1000 + tv.tv_usec / 1000);
    std::memcpy(value, &ms, sizeof ms);
    length = sizeof ms;
    return 0;
  }
  if (native_level == SOL_SOCKET && native_option == SO_LINGER) {
    if (length < static_cast<int32_t>(sizeof(TNetLinger))) return InvalidArgument();
    linger native{};
    socklen_t size = sizeof native;
    if (getsockopt(Fd(socket), native_level, native_option, &native, &size) != 0) return Fail();
    const TNetLinger result{static_cast<uint16_t>(native.l_onoff != 0 ? 1 : 0), static_cast<uint16_t>(native.l_linger)};
    std::memcpy(value, &result, sizeof result);
    length = sizeof result;
    return 0;
  }
  socklen_t size = static_cast<socklen_t>(length);
  if (getsockopt(Fd(socket), native_level, native_option, value, &size) != 0) return Fail();
  length = static_cast<int32_t>(size);
  if (native_level == SOL_SOCKET && native_option == SO_ERROR && size >= sizeof(int)) {
    // A pending socket error is an errno value: report it numbered as ours.
    int error = 0;
    std::memcpy(&error, value, sizeof error);
    const int32_t code = error == 0 ? 0 : MapErrno(error);
    std::memcpy(value, &code, sizeof code);
  }
  return 0;
}

void TNetStackPosix::WSGetPeerName(TNetStackSocketHandle socket, int32_t& family, std::string& ip, uint16_t& port) {
  ReadName(*this, getpeername, socket, family, ip, port);
}

void TNetStackPosix::WSGetSockName(TNetStackSocketHandle socket, int32_t& family, std::string& ip, uint16_t& port) {
  ReadName(*this, getsockname, socket, family, ip, port);
}


// ---- Errors ----

int32_t TNetStackPosix::WSGetLastError() { return t_platform_error; }

std::string TNetStackPosix::WSTranslateSocketErrorMsg(int32_t code) {
  if (code == kWSAHOST_NOT_FOUND) return rtl::Format("Socket Error # %d\r\n%s", code, "Host not found.");
  return TNetStack::WSTranslateSocketErrorMsg(code);
}

// ---- Addresses ----

std::string TNetStackPosix::TranslateTInAddrToString(const TInAddr& address) {
  return rtl::Format("%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
}

void TNetStackPosix::TranslateStringToTInAddr(const std::string& text, TInAddr& address) {
  const std::array<std::string, 4> parts = SplitDottedQuad(text);
  for (size_t i = 0; i < parts.size(); ++i) address[i] = static_cast<uint8_t>(rtl::StrToInt(parts[i]) & 0xff);
}

// ---- Waiting ----

int32_t TNetStackPosix::WSSelect(TNetSocketList* read, TNetSocketList* write, TNetSocketList* error,
                                 int32_t timeout_ms) {
  // poll() rather than select(): it has no descriptor-number ceiling, so a
  // process with many open files cannot overrun a fixed-size set.
  TNetSocketList* lists[3] = {read, write, error};
  const short wanted[3] = {POLLIN, POLLOUT, POLLPRI};
  // A hang-up or error makes a socket readable and writable (a recv or send
  // will not block: it returns the end or the failure), as select has it.
  const short ready_when[3] = {POLLIN | POLLHUP | POLLERR, POLLOUT | POLLHUP | POLLERR, POLLPRI | POLLERR};
  for (TNetSocketList* list : lists) {
    if (list != nullptr && list->Count() > TNetSocketList::kMaxSockets) throw ENetStackSetSizeExceeded();
  }
  if (timeout_ms < 0 && timeout_ms != -2) return InvalidArgument();

  pollfd entries[3 * TNetSocketList::kMaxSockets];
  int owner[3 * TNetSocketList::kMaxSockets];
  nfds_t count = 0;
  for (int l = 0; l < 3; ++l) {
    if (lists[l] == nullptr) continue;
    for (int32_t i = 0; i < lists[l]->Count(); ++i) {
      entries[count] = pollfd{Fd(lists[l]->Items(i)), wanted[l], 0};
      owner[count++] = l;
    }
  }

  // Only a wait with a bound needs the clock: an interrupted wait goes on for
  // what is left of it.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      timeout_ms > 0 ? Clock::now() + std::chrono::milliseconds(timeout_ms) : Clock::time_point();
  int result = 0;
  for (;;) {
    int wait = timeout_ms == 0 ? 0 : -1;
    if (timeout_ms > 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = static_cast<int>(left < 0 ? 0 : left);
    }
    result = poll(entries, count, wait);
    if (result >= 0 || errno != EINTR) break;
  }
  for (TNetSocketList* list : lists) {
    if (list != nullptr) list->Clear();
  }
  if (result < 0) return Fail();

  int32_t ready = 0;
  for (nfds_t i = 0; i < count; ++i) {
    if ((entries[i].revents & POLLNVAL) != 0) {
      // select fails outright for a handle that is no open socket.
      for (TNetSocketList* list : lists) {
        if (list != nullptr) list->Clear();
      }
      t_platform_error = kWSAENOTSOCK;
      return -1;
    }
    if ((entries[i].revents & ready_when[owner[i]]) != 0) {
      lists[owner[i]]->Add(entries[i].fd);
      ++ready;
    }
  }
  return ready;
}

}  // namespace meridian::net
