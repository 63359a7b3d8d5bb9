#include "transport/win32/net_stack_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "net/exceptions.h"
#include "rtl/text.h"

namespace meridian::net {

static_assert(AF_UNSPEC == kAfUnspec && AF_INET6 == kAfInet6 && AF_INET == kAfInet && SOCK_STREAM == kSockStream && SOCK_DGRAM == kSockDgram);
static_assert(SD_RECEIVE == kSdReceive && SD_SEND == kSdSend && SD_BOTH == kSdBoth);
static_assert(MSG_OOB == kMsgOob && MSG_PEEK == kMsgPeek);
static_assert(SOL_SOCKET == kSolSocket && SO_REUSEADDR == kSoReuseAddr && SO_KEEPALIVE == kSoKeepAlive &&
              SO_LINGER == kSoLinger && SO_SNDBUF == kSoSndBuf && SO_RCVBUF == kSoRcvBuf &&
              SO_SNDTIMEO == kSoSndTimeo && SO_RCVTIMEO == kSoRcvTimeo && SO_ERROR == kSoError &&
              IPPROTO_TCP == kIpProtoTcp && TCP_NODELAY == kTcpNoDelay);
static_assert(sizeof(linger) == sizeof(TNetLinger));
static_assert(static_cast<TNetStackSocketHandle>(INVALID_SOCKET) == kInvalidSocket);
static_assert(FD_SETSIZE >= TNetSocketList::kMaxSockets);

const char* const TNetStackWindows::kLibraryName = "WS2_32.DLL";

namespace {

// The system's text for an error code, without the trailing line break.
std::string SystemErrorText(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// The loaded socket library; null until the first stack starts it.
std::atomic<HMODULE> g_library{nullptr};

// Shuts the library down once when the process ends, if it was started.
struct TLibraryStart {
  std::mutex mutex;
  bool started = false;
  ~TLibraryStart();
};

// The socket library's entries, each looked up on its first call.
template <typename Function>
Function Ws2(std::atomic<void*>& slot, const char* name) {
  void* entry = slot.load(std::memory_order_acquire);
  if (entry == nullptr) {
    entry = TNetStackWindows::LibraryFunction(name);
    slot.store(entry, std::memory_order_release);
  }
  return reinterpret_cast<Function>(entry);
}

#define MERIDIAN_WS2(name)                                   \
  ([]() {                                                    \
    static std::atomic<void*> slot{nullptr};                 \
    return Ws2<decltype(&::name)>(slot, #name);              \
  }())

void StopLibrary() {
  HMODULE library = g_library.load();
  if (library == nullptr) return;
  MERIDIAN_WS2(WSACleanup)();
}

TLibraryStart::~TLibraryStart() {
  if (started) StopLibrary();
}

TLibraryStart& LibraryStart() {
  static TLibraryStart start;
  return start;
}

void StartSocketLibrary() {
  TLibraryStart& start = LibraryStart();
  std::lock_guard lock(start.mutex);
  if (start.started) return;
  if (g_library.load() == nullptr) {
    const UINT previous_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryA(TNetStackWindows::kLibraryName);
    const DWORD code = GetLastError();
    SetErrorMode(previous_mode);
    if (library == nullptr) {
      throw ENetWS2StubError(code, rtl::Format("Error on loading Winsock2 library (%s)", TNetStackWindows::kLibraryName),
                             SystemErrorText(code));
    }
    g_library.store(library);
  }
  WSADATA data{};
  if (MERIDIAN_WS2(WSAStartup)(MAKEWORD(2, 2), &data) != 0) throw ENetStackInitializationFailed();
  start.started = true;
}

SOCKET Native(TNetStackSocketHandle socket) { return static_cast<SOCKET>(socket); }

int32_t LastSocketError() { return MERIDIAN_WS2(WSAGetLastError)(); }

// Records `code` as the calling thread's socket error; returns -1 so that
// callers can `return Fail(code);`.
int32_t Fail(int32_t code) {
  MERIDIAN_WS2(WSASetLastError)(code);
  return -1;
}

// A socket address of either family, with its length.
struct SocketAddress {
  sockaddr_storage storage{};
  int length = sizeof(sockaddr_in);
  sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

// The address `ip` (empty: any) and `port` of `family`. An IPv6 text that
// is no address gives false with the thread's error set to 10022.
bool MakeAddress(TNetStackWindows& stack, int32_t family, const std::string& ip, uint16_t port,
                 SocketAddress& result) {
  if (family == kAfInet6) {
    auto& address = reinterpret_cast<sockaddr_in6&>(result.storage);
    result.length = sizeof address;
    address.sin6_family = AF_INET6;
    address.sin6_port = MERIDIAN_WS2(htons)(port);
    if (!ip.empty()) {
      TIn6Addr bytes;
      if (!TNetStack::TranslateStringToTIn6Addr(ip, bytes)) {
        Fail(kWSAEINVAL);
        return false;
      }
      std::memcpy(&address.sin6_addr, bytes.data(), bytes.size());
    }
    return true;
  }
  auto& address = reinterpret_cast<sockaddr_in&>(result.storage);
  result.length = sizeof address;
  address.sin_family = static_cast<ADDRESS_FAMILY>(family);
  address.sin_port = MERIDIAN_WS2(htons)(port);
  if (!ip.empty()) {
    TInAddr bytes;
    stack.TranslateStringToTInAddr(ip, bytes);
    std::memcpy(&address.sin_addr, bytes.data(), bytes.size());
  }
  return true;
}

// The text of an IPv6 address in its shortest form (RFC 5952): lower-case
// hex groups without leading zeros, the first longest run of two or more
// zero groups written "::".
std::string IPv6Text(const uint8_t* bytes) {
  uint16_t groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  int best_at = -1;
  int best_length = 1;
  for (int i = 0; i < 8;) {
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > best_length) {
      best_at = i;
      best_length = j - i;
    }
    i = j == i ? i + 1 : j;
  }
  std::string text;
  for (int i = 0; i < 8; ++i) {
    if (i == best_at) {
      text += "::";
      i += best_length - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    text += rtl::Format("%x", groups[i]);
  }
  return text;
}

// Address text, port and family of a socket address.
void ReadAddress(TNetStackWindows& stack, const sockaddr_storage& storage, std::string& ip, uint16_t& port,
                 int32_t* family = nullptr) {
  if (storage.ss_family == AF_INET6) {
    const auto& address = reinterpret_cast<const sockaddr_in6&>(storage);
    ip = IPv6Text(reinterpret_cast<const uint8_t*>(&address.sin6_addr));
    port = MERIDIAN_WS2(ntohs)(address.sin6_port);
    if (family != nullptr) *family = kAfInet6;
    return;
  }
  const auto& address = reinterpret_cast<const sockaddr_in&>(storage);
  TInAddr bytes;
  std::memcpy(bytes.data(), &address.sin_addr, bytes.size());
  ip = stack.TranslateTInAddrToString(bytes);
  port = MERIDIAN_WS2(ntohs)(address.sin_port);
  if (family != nullptr) *family = address.sin_family;
}

// Resolves `host` to its addresses of `family` (kAfUnspec: both), in the
// resolver's order and without repeats; false (with the thread's socket
// error set) when the lookup fails or finds none.
bool LookUp(TNetStackWindows& stack, const std::string& host, int32_t family, std::vector<TNetAddress>& addresses) {
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  const int result = MERIDIAN_WS2(getaddrinfo)(host.c_str(), nullptr, &hints, &answer);
  if (result != 0) {
    Fail(result);
    return false;
  }
  // A resolver's answer is short; the bound keeps a hostile one from making
  // a connect try thousands of addresses.
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
      address = {kAfInet6,
                 IPv6Text(reinterpret_cast<const uint8_t*>(&reinterpret_cast<const sockaddr_in6*>(entry->ai_addr)->sin6_addr))};
    } else {
      continue;
    }
    if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) addresses.push_back(address);
  }
  MERIDIAN_WS2(freeaddrinfo)(answer);
  if (addresses.empty()) {
    Fail(kWSAHOST_NOT_FOUND);
    return false;
  }
  return true;
}

int32_t InvalidArgument() { return Fail(kWSAEINVAL); }

// True when `socket` is ready for `write` (else: reading) without waiting.
// -1 when the wait itself fails.
int ReadyNow(TNetStackSocketHandle socket, bool write) {
  fd_set set;
  set.fd_count = 1;
  set.fd_array[0] = Native(socket);
  timeval now{0, 0};
  return MERIDIAN_WS2(select)(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &now);
}

}  // namespace

std::unique_ptr<TNetStack> TNetStack::CreatePlatformStack() { return std::make_unique<TNetStackWindows>(); }

std::unique_ptr<TNetSocketList> TNetSocketList::CreateSocketList() {
  return std::make_unique<TNetSocketListWindows>();
}

void* TNetStackWindows::LibraryFunction(const char* name) {
  HMODULE library = g_library.load();
  if (library == nullptr) {
    throw ENetWS2StubError(kWSANOTINITIALISED, rtl::Format("Error on call Winsock2 library function %s", name),
                           SystemErrorText(kWSANOTINITIALISED));
  }
  FARPROC entry = GetProcAddress(library, name);
  if (entry == nullptr) {
    const DWORD code = GetLastError();
    throw ENetWS2StubError(code, rtl::Format("Error on call Winsock2 library function %s", name),
                           SystemErrorText(code));
  }
  return reinterpret_cast<void*>(entry);
}

TNetStackWindows::TNetStackWindows() { StartSocketLibrary(); }

// ---- Local addresses and names ----

void TNetStackWindows::PopulateLocalAddresses() {
  if (!local_addresses_) local_addresses_ = std::make_unique<std::vector<std::string>>();
  local_addresses_->clear();
  std::vector<TNetAddress> addresses;
  if (!LookUp(*this, WSGetHostName(), kAfInet, addresses)) CheckForSocketError(-1);
  for (TNetAddress& address : addresses) local_addresses_->push_back(std::move(address.ip));
}

std::string TNetStackWindows::WSGetLocalAddress() {
  const std::vector<std::string>& addresses = WSGetLocalAddresses();
  return addresses.empty() ? std::string() : addresses.front();
}

const std::vector<std::string>& TNetStackWindows::WSGetLocalAddresses() {
  if (!local_addresses_) local_addresses_ = std::make_unique<std::vector<std::string>>();
  PopulateLocalAddresses();
  return *local_addresses_;
}

std::string TNetStackWindows::WSGetHostByName(const std::string& host) {
  std::vector<TNetAddress> addresses;
  if (!LookUp(*this, host, kAfInet, addresses)) CheckForSocketError(-1);
  return addresses.front().ip;
}

std::vector<TNetAddress> TNetStackWindows::WSGetHostAddresses(const std::string& host, int32_t family) {
  std::vector<TNetAddress> addresses;
  if (!LookUp(*this, host, family, addresses)) CheckForSocketError(-1);
  return addresses;
}

std::string TNetStackWindows::WSGetHostName() {
  char name[251] = {};
  if (MERIDIAN_WS2(gethostname)(name, 250) != 0) return std::string();
  return std::string(name);  // cut at the first NUL
}

std::string TNetStackWindows::WSGetHostByAddr(const std::string& ip) {
  SocketAddress address;
  const int32_t family = AddressFamily(ip) == kAfInet6 ? kAfInet6 : kAfInet;
  if (!MakeAddress(*this, family, ip, 0, address)) CheckForSocketError(-1);
  char host[NI_MAXHOST] = {};
  const int result =
      MERIDIAN_WS2(getnameinfo)(address.get(), address.length, host, sizeof host, nullptr, 0, NI_NAMEREQD);
  if (result != 0) {
    Fail(result);
    CheckForSocketError(-1);
  }
  return std::string(host);
}

uint16_t TNetStackWindows::WSGetServByName(const std::string& service) {
  // The service database answers in a buffer of the calling thread's own.
  const servent* found = MERIDIAN_WS2(getservbyname)(service.c_str(), nullptr);
  if (found != nullptr) return MERIDIAN_WS2(ntohs)(static_cast<u_short>(found->s_port));
  // Not a known name: a port number, which must fit in 16 bits.
  int64_t port = 0;
  if (!rtl::TryStrToInt64(service, port) || port < 0 || port > 65535) throw ENetInvalidServiceName(service);
  return static_cast<uint16_t>(port);
}

std::vector<std::string> TNetStackWindows::WSGetServByPort(uint16_t port) {
  std::vector<std::string> names;
  const servent* found = MERIDIAN_WS2(getservbyport)(MERIDIAN_WS2(htons)(port), nullptr);
  if (found != nullptr) {
    names.emplace_back(found->s_name);
    for (char** alias = found->s_aliases; alias != nullptr && *alias != nullptr; ++alias) names.emplace_back(*alias);
  }
  return names;
}

// ---- Byte order ----

uint16_t TNetStackWindows::WSHToNs(uint16_t value) { return MERIDIAN_WS2(htons)(value); }
uint16_t TNetStackWindows::WSNToHs(uint16_t value) { return MERIDIAN_WS2(ntohs)(value); }
uint32_t TNetStackWindows::WSHToNL(uint32_t value) { return MERIDIAN_WS2(htonl)(value); }
uint32_t TNetStackWindows::WSNToHL(uint32_t value) { return MERIDIAN_WS2(ntohl)(value); }

// ---- Sockets ----

TNetStackSocketHandle TNetStackWindows::WSSocket(int32_t family, int32_t type, int32_t protocol) {
  const SOCKET socket = MERIDIAN_WS2(socket)(family, type, protocol);
  if (socket == INVALID_SOCKET) return kInvalidSocket;
  // Programs the process starts must not inherit connections.
  SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  return static_cast<TNetStackSocketHandle>(socket);
}

TNetStackSocketHandle TNetStackWindows::WSAccept(TNetStackSocketHandle socket, std::string& ip, uint16_t& port) {
  sockaddr_storage address{};
  int length = sizeof address;
  const SOCKET accepted = MERIDIAN_WS2(accept)(Native(socket), reinterpret_cast<sockaddr*>(&address), &length);
  if (accepted == INVALID_SOCKET) return kInvalidSocket;
  SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
  ReadAddress(*this, address, ip, port);
  return static_cast<TNetStackSocketHandle>(accepted);
}

int32_t TNetStackWindows::WSBind(TNetStackSocketHandle socket, int32_t family, const std::string& ip,
                                 uint16_t port) {
  SocketAddress address;
  if (!MakeAddress(*this, family, ip, port, address)) return -1;
  if (MERIDIAN_WS2(bind)(Native(socket), address.get(), address.length) != 0) return -1;
  return 0;
}

int32_t TNetStackWindows::WSCloseSocket(TNetStackSocketHandle socket) {
  return MERIDIAN_WS2(closesocket)(Native(socket)) == 0 ? 0 : -1;
}

int32_t TNetStackWindows::WSConnect(TNetStackSocketHandle socket, int32_t family, const std::string& ip,
                                    uint16_t port) {
  SocketAddress address;
  if (!MakeAddress(*this, family, ip, port, address)) return -1;
  if (MERIDIAN_WS2(connect)(Native(socket), address.get(), address.length) != 0) return -1;
  return 0;
}

int32_t TNetStackWindows::WSListen(TNetStackSocketHandle socket, int32_t backlog) {
  return MERIDIAN_WS2(listen)(Native(socket), backlog) == 0 ? 0 : -1;
}

int32_t TNetStackWindows::WSRecv(TNetStackSocketHandle socket, void* buffer, int32_t length, int32_t flags) {
  if (length < 0) return InvalidArgument();
  if ((flags & kMsgDontWait) != 0) {
    // WinSock has no per-call non-blocking flag: ask first whether data waits.
    const int ready = ReadyNow(socket, false);
    if (ready < 0) return -1;
    if (ready == 0) return Fail(kWSAEWOULDBLOCK);
  }
  const int count = MERIDIAN_WS2(recv)(Native(socket), static_cast<char*>(buffer), length, flags & ~kMsgDontWait);
  return count == SOCKET_ERROR ? -1 : count;
}

int32_t TNetStackWindows::WSRecvFrom(TNetStackSocketHandle socket, void* buffer, int32_t length, int32_t flags,
                                     std::string& ip, uint16_t& port) {
  if (length < 0) return InvalidArgument();
  sockaddr_storage address{};
  int address_length = sizeof address;
  const int count = MERIDIAN_WS2(recvfrom)(Native(socket), static_cast<char*>(buffer), length, flags,
                                           reinterpret_cast<sockaddr*>(&address), &address_length);
  if (count == SOCKET_ERROR) return -1;
  ReadAddress(*this, address, ip, port);
  return count;
}

int32_t TNetStackWindows::WSSend(TNetStackSocketHandle socket, const void* buffer, int32_t length, int32_t flags) {
  if (length < 0) return InvalidArgument();
  if ((flags & kMsgDontWait) != 0) {
    // Writable means room for at least some bytes; the send then takes what
    // fits (a blocking send may still wait for the rest of a large piece).
    const int ready = ReadyNow(socket, true);
    if (ready < 0) return -1;
    if (ready == 0) return Fail(kWSAEWOULDBLOCK);
  }
  const int count =
      MERIDIAN_WS2(send)(Native(socket), static_cast<const char*>(buffer), length, flags & ~kMsgDontWait);
  return count == SOCKET_ERROR ? -1 : count;
}

int32_t TNetStackWindows::WSSendTo(TNetStackSocketHandle socket, const void* buffer, int32_t length, int32_t flags,
                                   const std::string& ip, uint16_t port) {
  if (length < 0) return InvalidArgument();
  SocketAddress address;
  if (!MakeAddress(*this, AddressFamily(ip) == kAfInet6 ? kAfInet6 : kAfInet, ip, port, address)) return -1;
  const int count = MERIDIAN_WS2(sendto)(Native(socket), static_cast<const char*>(buffer), length, flags,
                                         address.get(), address.length);
  return count == SOCKET_ERROR ? -1 : count;
}

int32_t TNetStackWindows::WSShutdown(TNetStackSocketHandle socket, int32_t how) {
  return MERIDIAN_WS2(shutdown)(Native(socket), how) == 0 ? 0 : -1;
}

int32_t TNetStackWindows::WSSetNonBlocking(TNetStackSocketHandle socket, bool non_blocking) {
  u_long mode = non_blocking ? 1 : 0;
  return MERIDIAN_WS2(ioctlsocket)(Native(socket), static_cast<long>(FIONBIO), &mode) == 0 ? 0 : -1;
}

bool TNetStackWindows::EndPendingConnect(TNetStackSocketHandle socket) {
  // On WinSock a shutdown leaves a pending connect waiting; closing the
  // socket ends it at once.
  WSCloseSocket(socket);
  return true;
}

// ---- Options and names ----

int32_t TNetStackWindows::WSSetSockOpt(TNetStackSocketHandle socket, int32_t level, int32_t option,
                                       const void* value, int32_t length) {
  if (length < 0 || (value == nullptr && length > 0)) return InvalidArgument();
  // Options are numbered as WinSock numbers them; the time-outs are DWORD
  // milliseconds and the linger record has WinSock's layout already.
  if (level == kSolSocket && (option == kSoSndTimeo || option == kSoRcvTimeo) &&
      length < static_cast<int32_t>(sizeof(DWORD))) {
    return InvalidArgument();
  }
  if (level == kSolSocket && option == kSoLinger && length < static_cast<int32_t>(sizeof(TNetLinger))) {
    return InvalidArgument();
  }
  return MERIDIAN_WS2(setsockopt)(Native(socket), level, option, static_cast<const char*>(value), length) == 0 ? 0
                                                                                                              : -1;
}

int32_t TNetStackWindows::WSGetSockOpt(TNetStackSocketHandle socket, int32_t level, int32_t option, void* value,
                                       int32_t& length) {
  if (length < 0 || (value == nullptr && length > 0)) return InvalidArgument();
  int size = length;
  if (MERIDIAN_WS2(getsockopt)(Native(socket), level, option, static_cast<char*>(value), &size) != 0) return -1;
  length = size;
  return 0;
}

void TNetStackWindows::WSGetPeerName(TNetStackSocketHandle socket, int32_t& family, std::string& ip,
                                     uint16_t& port) {
  sockaddr_storage address{};
  int length = sizeof address;
  if (MERIDIAN_WS2(getpeername)(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CheckForSocketError(-1);
  }
  ReadAddress(*this, address, ip, port, &family);
}

void TNetStackWindows::WSGetSockName(TNetStackSocketHandle socket, int32_t& family, std::string& ip,
                                     uint16_t& port) {
  sockaddr_storage address{};
  int length = sizeof address;
  if (MERIDIAN_WS2(getsockname)(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CheckForSocketError(-1);
  }
  ReadAddress(*this, address, ip, port, &family);
}

// ---- Errors ----

int32_t TNetStackWindows::WSGetLastError() { return LastSocketError(); }

std::string TNetStackWindows::WSTranslateSocketErrorMsg(int32_t code) {
  if (code == kWSAHOST_NOT_FOUND) return rtl::Format("Socket Error # %d\r\n%s", code, "Host not found.");
  return TNetStack::WSTranslateSocketErrorMsg(code);
}

// ---- Addresses ----

std::string TNetStackWindows::TranslateTInAddrToString(const TInAddr& address) {
  return rtl::Format("%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
}

void TNetStackWindows::TranslateStringToTInAddr(const std::string& text, TInAddr& address) {
  const std::array<std::string, 4> parts = SplitDottedQuad(text);
  for (size_t i = 0; i < parts.size(); ++i) address[i] = static_cast<uint8_t>(rtl::StrToInt(parts[i]) & 0xff);
}

// ---- Waiting ----

int32_t TNetStackWindows::WSSelect(TNetSocketList* read, TNetSocketList* write, TNetSocketList* error,
                                   int32_t timeout_ms) {
  TNetSocketList* lists[3] = {read, write, error};
  for (TNetSocketList* list : lists) {
    if (list != nullptr && list->Count() > TNetSocketList::kMaxSockets) throw ENetStackSetSizeExceeded();
  }
  if (timeout_ms < 0 && timeout_ms != -2) return InvalidArgument();

  fd_set sets[3];
  fd_set* given[3] = {nullptr, nullptr, nullptr};
  u_int total = 0;
  for (int l = 0; l < 3; ++l) {
    if (lists[l] == nullptr) continue;
    sets[l].fd_count = 0;
    for (int32_t i = 0; i < lists[l]->Count(); ++i) sets[l].fd_array[sets[l].fd_count++] = Native(lists[l]->Items(i));
    total += sets[l].fd_count;
    given[l] = &sets[l];
  }
  for (TNetSocketList* list : lists) {
    if (list != nullptr) list->Clear();
  }

  if (total == 0) {
    // WinSock refuses a wait on no socket at all; other platforms just sleep.
    if (timeout_ms == -2) return InvalidArgument();
    std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
    return 0;
  }
  timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  // The highest-descriptor argument is ignored by WinSock.
  const int result = MERIDIAN_WS2(select)(0, given[0], given[1], given[2], timeout_ms == -2 ? nullptr : &limit);
  if (result == SOCKET_ERROR) return -1;
  for (int l = 0; l < 3; ++l) {
    if (given[l] == nullptr) continue;
    for (u_int i = 0; i < sets[l].fd_count; ++i) {
      lists[l]->Add(static_cast<TNetStackSocketHandle>(sets[l].fd_array[i]));
    }
  }
  return result;
}

}  // namespace meridian::net
