// The socket stack over WinSock 2. The socket library is loaded by name when
// the first stack starts and each of its functions is looked up on its first
// call, so the executables need no import of it.
#pragma once

#include <string>
#include <vector>

#include "transport/net_stack.h"
#include "transport/socket_list.h"

namespace meridian::net {

// The platform's socket list: the common array of 64 handles.
class TNetSocketListWindows final : public TNetSocketListPosix {};

class TNetStackWindows : public TNetStack {
 public:
  // Starts the socket library (WinSock 2.2) the first time a stack is made in
  // the process. Throws ENetWS2StubError when "WS2_32.DLL" cannot be loaded
  // and ENetStackInitializationFailed when the library refuses to start.
  TNetStackWindows();

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
  bool EndPendingConnect(TNetStackSocketHandle socket) override;
  std::string TranslateTInAddrToString(const TInAddr& address) override;
  void TranslateStringToTInAddr(const std::string& text, TInAddr& address) override;

  // The name the socket library is loaded by, and its entry looked up the
  // first time it is called. Throws ENetWS2StubError "Error on call Winsock2
  // library function <name>" (10093) when the library is not loaded, and
  // with the loader's code when it lacks the entry.
  static const char* const kLibraryName;
  static void* LibraryFunction(const char* name);
};

}  // namespace meridian::net
