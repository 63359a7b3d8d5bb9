// The socket stack over POSIX sockets. Platform error numbers are mapped to
// the WinSock numbers the transport speaks before anyone sees them.
#pragma once

#include <string>
#include <vector>

#include "transport/net_stack.h"

namespace meridian::net {

// The POSIX platform stack. Starting it makes sure a peer that closes can
// never stop the process with SIGPIPE (sends use MSG_NOSIGNAL; the signal is
// also set to be ignored when it still has its default action, for writes
// made by other libraries on our sockets).
class TNetStackPosix : public TNetStack {
 public:
  TNetStackPosix();

  void PopulateLocalAddresses() override;
  std::string WSGetLocalAddress() override;
  const std::vector<std::string>& WSGetLocalAddresses() override;
  TNetStackSocketHandle WSAccept(TNetStackSocketHandle socket, std::string& ip, uint16_t& port) override;
  int32_t WSBind(TNetStackSocketHandle socket, int32_t family, const std::string& ip, uint16_t port) override;
  int32_t WSCloseSocket(TNetStackSocketHandle socket) override;
  int32_t WSConnect(TNetStackSocketHandle socket, int32_t family, const std::string& ip, uint16_t port) override;
  std::string WSGetHostByName(const std::string& host) override;
  std::vector<TNetAddress> WSGetHostAddresses(const std::string& host, int32_t family) override;
  std::string WSGetHostName() override;
  std::string WSGetHostByAddr(const std::string& ip) override;
  uint16_t WSGetServByName(const std::string& service) override;
  std::vector<std::string> WSGetServByPort(uint16_t port) override;
  uint16_t WSHToNs(uint16_t value) override;
  int32_t WSListen(TNetStackSocketHandle socket, int32_t backlog) override;
  uint16_t WSNToHs(uint16_t value) override;
  uint32_t WSHToNL(uint32_t value) override;
  uint32_t WSNToHL(uint32_t value) override;
  int32_t WSRecv(TNetStackSocketHandle socket, void* buffer, int32_t length, int32_t flags) override;
  int32_t WSRecvFrom(TNetStackSocketHandle socket, void* buffer, int32_t length, int32_t flags, std::string& ip,
                     uint16_t& port) override;
  int32_t WSSelect(TNetSocketList* read, TNetSocketList* write, TNetSocketList* error, int32_t timeout_ms) override;
  int32_t WSSend(TNetStackSocketHandle socket, const void* buffer, int32_t length, int32_t flags) override;
  int32_t WSSendTo(TNetStackSocketHandle socket, const void* buffer, int32_t length, int32_t flags,
                   const std::string& ip, uint16_t port) override;
  int32_t WSSetSockOpt(TNetStackSocketHandle socket, int32_t level, int32_t option, const void* value,
                       int32_t length) override;
  TNetStackSocketHandle WSSocket(int32_t family, int32_t type, int32_t protocol) override;
  int32_t WSShutdown(TNetStackSocketHandle socket, int32_t how) override;
  // Adds 11001 "Host not found." to the common table.
  std::string WSTranslateSocketErrorMsg(int32_t code) override;
  int32_t WSGetLastError() override;
  void WSGetPeerName(TNetStackSocketHandle socket, int32_t& family, std::string& ip, uint16_t& port) override;
  void WSGetSockName(TNetStackSocketHandle socket, int32_t& family, std::string& ip, uint16_t& port) override;
  int32_t WSGetSockOpt(TNetStackSocketHandle socket, int32_t level, int32_t option, void* value,
                       int32_t& length) override;
  int32_t WSSetNonBlocking(TNetStackSocketHandle socket, bool non_blocking) override;
  std::string TranslateTInAddrToString(const TInAddr& address) override;
  void TranslateStringToTInAddr(const std::string& text, TInAddr& address) override;

  // The WinSock number of a POSIX errno value (unknown values pass through).
  static int32_t MapErrno(int error);
  // The WinSock number of a resolver failure (`error` is errno, read when
  // the resolver reports a system error): host not found is 11001.
  static int32_t MapResolverError(int resolver_error, int error);
};

}  // namespace meridian::net
