// The socket stack: the one object through which the transport reaches the
// platform's sockets (IPv4 and IPv6), plus the process-wide stack `GStack`.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace meridian::net {

class TNetSocketList;

// A platform socket value; kInvalidSocket when there is none.
using TNetStackSocketHandle = intptr_t;
inline constexpr TNetStackSocketHandle kInvalidSocket = -1;

// An IPv4 address: the four bytes in network (memory) order.
using TInAddr = std::array<uint8_t, 4>;

// An IPv6 address: the sixteen bytes in network (memory) order.
using TIn6Addr = std::array<uint8_t, 16>;

// Families, types and protocols (the values are the same on every platform,
// except kAfInet6: WinSock's number, which the platform stack maps).
inline constexpr int32_t kAfUnspec = 0;
inline constexpr int32_t kAfInet = 2;
inline constexpr int32_t kAfInet6 = 23;
inline constexpr int32_t kSockStream = 1;
inline constexpr int32_t kSockDgram = 2;
inline constexpr int32_t kIpProtoIp = 0;
inline constexpr int32_t kIpProtoTcp = 6;

// Flags of WSRecv/WSSend and the `how` of WSShutdown.
inline constexpr int32_t kMsgOob = 1;
inline constexpr int32_t kMsgPeek = 2;
// Send or receive only what can go without waiting (else kWSAEWOULDBLOCK).
inline constexpr int32_t kMsgDontWait = 0x1000;
inline constexpr int32_t kSdReceive = 0;
inline constexpr int32_t kSdSend = 1;
inline constexpr int32_t kSdBoth = 2;

// Socket options, numbered as WinSock numbers them; the platform stack maps
// them to its own. Value layouts: int32_t for the flags and sizes, uint32_t
// milliseconds for the time-outs, TNetLinger for kSoLinger.
inline constexpr int32_t kSolSocket = 0xffff;
inline constexpr int32_t kSoReuseAddr = 0x0004;
inline constexpr int32_t kSoKeepAlive = 0x0008;
inline constexpr int32_t kSoLinger = 0x0080;
inline constexpr int32_t kSoSndBuf = 0x1001;
inline constexpr int32_t kSoRcvBuf = 0x1002;
inline constexpr int32_t kSoSndTimeo = 0x1005;
inline constexpr int32_t kSoRcvTimeo = 0x1006;
inline constexpr int32_t kSoError = 0x1007;  // value: a socket error code below
inline constexpr int32_t kTcpNoDelay = 0x0001;

// The address families a connect may use.
enum TNetIPVersion : uint8_t {
  ivAny,   // IPv4 and IPv6, in the resolver's order
  ivIPv4,  // IPv4 only
  ivIPv6,  // IPv6 only
};

// One address of a host: its family (kAfInet or kAfInet6) and its text
// (dotted for IPv4, the colon form without brackets for IPv6).
struct TNetAddress {
  int32_t family = kAfInet;
  std::string ip;
  bool operator==(const TNetAddress&) const = default;
};

struct TNetLinger {
  uint16_t l_onoff;
  uint16_t l_linger;  // seconds
};

// Socket error codes (WinSock numbering: 10000 plus the BSD error number).
// Every code stored in LastError or reported is one of these numbers.
inline constexpr int32_t kWSAEINTR = 10004;
inline constexpr int32_t kWSAEBADF = 10009;
inline constexpr int32_t kWSAEACCES = 10013;
inline constexpr int32_t kWSAEFAULT = 10014;
inline constexpr int32_t kWSAEINVAL = 10022;
inline constexpr int32_t kWSAEMFILE = 10024;
inline constexpr int32_t kWSAEWOULDBLOCK = 10035;
inline constexpr int32_t kWSAEINPROGRESS = 10036;
inline constexpr int32_t kWSAEALREADY = 10037;
inline constexpr int32_t kWSAENOTSOCK = 10038;
inline constexpr int32_t kWSAEMSGSIZE = 10040;
inline constexpr int32_t kWSAEAFNOSUPPORT = 10047;
inline constexpr int32_t kWSAEADDRINUSE = 10048;
inline constexpr int32_t kWSAEADDRNOTAVAIL = 10049;
inline constexpr int32_t kWSAENETDOWN = 10050;
inline constexpr int32_t kWSAENETUNREACH = 10051;
inline constexpr int32_t kWSAECONNABORTED = 10053;
inline constexpr int32_t kWSAECONNRESET = 10054;
inline constexpr int32_t kWSAENOBUFS = 10055;
inline constexpr int32_t kWSAEISCONN = 10056;
inline constexpr int32_t kWSAENOTCONN = 10057;
inline constexpr int32_t kWSAESHUTDOWN = 10058;
inline constexpr int32_t kWSAETIMEDOUT = 10060;
inline constexpr int32_t kWSAECONNREFUSED = 10061;
inline constexpr int32_t kWSAEHOSTUNREACH = 10065;
inline constexpr int32_t kWSANOTINITIALISED = 10093;
inline constexpr int32_t kWSAHOST_NOT_FOUND = 11001;
inline constexpr int32_t kWSATRY_AGAIN = 11002;
inline constexpr int32_t kWSANO_RECOVERY = 11003;

// The abstract socket stack. The thin WS* operations return the platform's
// result (-1 on failure) and raise nothing; callers hand the result to
// CheckForSocketError, which raises ENetSocketError unless the code is one
// they ignore. The stack is shared by every thread and takes no lock.
class TNetStack {
 public:
  TNetStack() = default;
  TNetStack(const TNetStack&) = delete;
  TNetStack& operator=(const TNetStack&) = delete;
  virtual ~TNetStack();

  // Constructs the platform stack (or what SetStackFactory installed).
  // Throws ENetStackInitializationFailed when the socket library cannot start.
  static std::unique_ptr<TNetStack> CreateStack();
  // Replaces the class CreateStack makes, for tests that need a stack with
  // failures loopback cannot produce. An empty factory restores the platform
  // stack. Call it while no network component exists.
  using TNetStackFactory = std::function<std::unique_ptr<TNetStack>()>;
  static void SetStackFactory(TNetStackFactory factory);

  // ---- Checking and raising ----

  // False when `result` is not -1. Otherwise LastError := WSGetLastError();
  // true when that code is in `ignore`, else raises ENetSocketError for it.
  bool CheckForSocketError(int64_t result);
  bool CheckForSocketError(int64_t result, std::initializer_list<int32_t> ignore);
  bool CheckForSocketError(int64_t result, std::span<const int32_t> ignore);
  // Throws ENetSocketError with `code` and WSTranslateSocketErrorMsg(code).
  [[noreturn]] void RaiseSocketError(int32_t code);
  // The code of the last failure CheckForSocketError saw on the calling
  // thread (each thread keeps its own). Default: 0.
  int32_t LastError() const;

  // ---- Helpers over the WS* operations ----

  // A socket of `family` (kAfInet or kAfInet6). Throws ENetInvalidSocket
  // "Cannot allocate socket." when the platform refuses one.
  TNetStackSocketHandle CreateSocketHandle(int32_t socket_type, int32_t protocol = kIpProtoIp,
                                           int32_t family = kAfInet);
  // "localhost" in any letter case gives "127.0.0.1" and a dotted address
  // is returned as it is, both without a lookup; anything else goes to
  // WSGetHostByName (and raises as it does).
  std::string ResolveHost(const std::string& host);
  // Every address a connect to `host` may try, in order, of the families
  // `version` allows: a dotted or IPv6 address (bare or in brackets) itself,
  // without a lookup (an
  // address of a family not allowed raises ENetSocketError 10047); "localhost"
  // in any letter case, without a lookup, 127.0.0.1 then ::1; any other name
  // through one WSGetHostAddresses (and raises as it does).
  std::vector<TNetAddress> ResolveHostAddresses(const std::string& host, TNetIPVersion version);
  // True when `text` is four dot-separated decimal numbers of 0 to 255.
  static bool IsIP(std::string_view text);
  // True when `text` is an IPv6 address in its colon form (RFC 4291: eight
  // groups of up to four hex digits, one "::" standing for a run of zero
  // groups, the last two groups may be written as a dotted IPv4 address); no
  // brackets, no zone.
  static bool IsIPv6(std::string_view text);
  // The sixteen bytes of an IPv6 address text (as IsIPv6 takes it); false,
  // with `address` undefined, for any other text.
  static bool TranslateStringToTIn6Addr(std::string_view text, TIn6Addr& address);
  // The address inside "[" "]" when `host` is an IPv6 address in brackets
  // (as a URL writes it), else `host` itself.
  static std::string WithoutBrackets(const std::string& host);
  // kAfInet for a dotted address, kAfInet6 for an IPv6 one, else kAfUnspec.
  static int32_t AddressFamily(std::string_view text);
  std::string LocalAddress() { return WSGetLocalAddress(); }
  const std::vector<std::string>& LocalAddresses() { return WSGetLocalAddresses(); }

  // ---- Platform operations ----

  // Fills the local-address list with the addresses of the host name.
  // Throws ENetSocketError when the host name cannot be looked up.
  virtual void PopulateLocalAddresses() = 0;
  // First local address; empty when the host has none.
  virtual std::string WSGetLocalAddress() = 0;
  // The local-address list, filled anew on every call.
  virtual const std::vector<std::string>& WSGetLocalAddresses() = 0;

  // The operations that take or give an address text take or give a dotted
  // one for kAfInet and an IPv6 one for kAfInet6 (WSAccept, WSRecvFrom and
  // the name reads give whichever the socket has).

  // Accepts a connection; `ip` and `port` receive the peer's address.
  virtual TNetStackSocketHandle WSAccept(TNetStackSocketHandle socket, std::string& ip, uint16_t& port) = 0;
  // Binds to `ip` (empty: any address) and `port`. 0 or -1.
  virtual int32_t WSBind(TNetStackSocketHandle socket, int32_t family, const std::string& ip, uint16_t port) = 0;
  virtual int32_t WSCloseSocket(TNetStackSocketHandle socket) = 0;
  // Connects to the dotted address `ip`. 0 or -1.
  virtual int32_t WSConnect(TNetStackSocketHandle socket, int32_t family, const std::string& ip, uint16_t port) = 0;
  // First IPv4 address of `host` as dotted text. Throws ENetSocketError
  // (11001 "Host not found." when the name is unknown).
  virtual std::string WSGetHostByName(const std::string& host) = 0;
  // Every address of `host` of `family` (kAfUnspec: both), in the
  // resolver's order, without repeats; one lookup. Throws ENetSocketError
  // (11001 "Host not found." when the name has no such address).
  virtual std::vector<TNetAddress> WSGetHostAddresses(const std::string& host, int32_t family) = 0;
  // The machine's host name.
  virtual std::string WSGetHostName() = 0;
  // Reverse lookup of a dotted address. Throws ENetSocketError as above.
  virtual std::string WSGetHostByAddr(const std::string& ip) = 0;
  // Port of a service name, else the name read as a decimal number.
  // Throws ENetInvalidServiceName "%s is not a valid service." otherwise.
  virtual uint16_t WSGetServByName(const std::string& service) = 0;
  // Name and aliases of the service on `port`; empty when unknown.
  virtual std::vector<std::string> WSGetServByPort(uint16_t port) = 0;
  virtual uint16_t WSHToNs(uint16_t value) = 0;
  virtual int32_t WSListen(TNetStackSocketHandle socket, int32_t backlog) = 0;
  virtual uint16_t WSNToHs(uint16_t value) = 0;
  virtual uint32_t WSHToNL(uint32_t value) = 0;
  virtual uint32_t WSNToHL(uint32_t value) = 0;
  // Bytes received (0 when the peer has closed) or -1.
  virtual int32_t WSRecv(TNetStackSocketHandle socket, void* buffer, int32_t length, int32_t flags) = 0;
  virtual int32_t WSRecvFrom(TNetStackSocketHandle socket, void* buffer, int32_t length, int32_t flags,
                             std::string& ip, uint16_t& port) = 0;
  // Waits until a socket of `read` is readable, of `write` writable or of
  // `error` has an exceptional condition, or `timeout_ms` passes (-2: no
  // limit). Each list may be null; each given one is refilled with its ready
  // sockets (emptied on failure). Returns the count of ready entries, 0 on
  // time-out, -1 on failure (raises nothing for that). Throws
  // ENetStackSetSizeExceeded when a list holds more than 64 sockets.
  virtual int32_t WSSelect(TNetSocketList* read, TNetSocketList* write, TNetSocketList* error,
                           int32_t timeout_ms) = 0;
  // Bytes sent or -1. A peer that has closed gives -1 (10058 or 10054),
  // never a signal.
  virtual int32_t WSSend(TNetStackSocketHandle socket, const void* buffer, int32_t length, int32_t flags) = 0;
  virtual int32_t WSSendTo(TNetStackSocketHandle socket, const void* buffer, int32_t length, int32_t flags,
                           const std::string& ip, uint16_t port) = 0;
  // Options are numbered as the k* option constants above. 0 or -1.
  virtual int32_t WSSetSockOpt(TNetStackSocketHandle socket, int32_t level, int32_t option, const void* value,
                               int32_t length) = 0;
  // A socket of the given family, type and protocol, or kInvalidSocket.
  virtual TNetStackSocketHandle WSSocket(int32_t family, int32_t type, int32_t protocol) = 0;
  virtual int32_t WSShutdown(TNetStackSocketHandle socket, int32_t how) = 0;
  // "Socket Error # %d\r\n%s" with the code and its text (empty when the
  // code is unknown).
  virtual std::string WSTranslateSocketErrorMsg(int32_t code);
  // The code of the calling thread's last failed platform call.
  virtual int32_t WSGetLastError() = 0;
  // The peer's / the local address of a socket. Throws ENetSocketError.
  virtual void WSGetPeerName(TNetStackSocketHandle socket, int32_t& family, std::string& ip, uint16_t& port) = 0;
  virtual void WSGetSockName(TNetStackSocketHandle socket, int32_t& family, std::string& ip, uint16_t& port) = 0;
  // `length` holds the buffer size on entry and the value's size on return.
  virtual int32_t WSGetSockOpt(TNetStackSocketHandle socket, int32_t level, int32_t option, void* value,
                               int32_t& length) = 0;
  // Switches a socket between blocking (the default) and non-blocking mode.
  // 0 or -1. A non-blocking connect that has not yet ended fails with
  // kWSAEINPROGRESS or kWSAEWOULDBLOCK depending on the platform; wait for
  // the socket to become writable, then read kSoError for the outcome.
  virtual int32_t WSSetNonBlocking(TNetStackSocketHandle socket, bool non_blocking) = 0;
  // Ends a connect that another thread is waiting in on `socket`. True when
  // that closed the socket (the handle is gone then and must not be closed
  // again); false when it shut the socket down, which ends the connect only
  // once it has begun, so the caller repeats it until the connect has ended.
  // The base shuts down; a platform where that does not end a pending
  // connect closes instead.
  virtual bool EndPendingConnect(TNetStackSocketHandle socket);
  // "a.b.c.d" from the four bytes in memory order.
  virtual std::string TranslateTInAddrToString(const TInAddr& address) = 0;
  // The four parts cut as IsIP cuts them, each into one byte (a value above
  // 255 keeps its low 8 bits). Throws rtl::EConvertError when a part is not
  // an integer.
  virtual void TranslateStringToTInAddr(const std::string& text, TInAddr& address) = 0;

 protected:
  // Cuts `text` into the four parts of a dotted address: the first three at
  // the first dot of what is left, the fourth is the rest (dots and all).
  static std::array<std::string, 4> SplitDottedQuad(std::string_view text);

  // The text of a code in the common table; empty when unknown.
  static const char* SocketErrorText(int32_t code);

  // The platform's stack class; defined beside it.
  static std::unique_ptr<TNetStack> CreatePlatformStack();

  // Created on first use by WSGetLocalAddresses.
  std::unique_ptr<std::vector<std::string>> local_addresses_;
};

// The process's socket stack: exists exactly while at least one network
// component (TNetComponent) exists; null otherwise.
extern TNetStack* GStack;

}  // namespace meridian::net
