#include "transport/tcp_client.h"

#include "net/exceptions.h"
#include "transport/connection_intercept.h"
#include "transport/io_handler_socket.h"
#include "transport/socks/socks_info.h"

namespace meridian::net {

TNetTCPClient::TNetTCPClient(rtl::TComponent* owner) : TNetTCPConnection(owner) {}

void TNetTCPClient::Connect(int32_t timeout) {
  if (IOHandler() != nullptr) {
    if (IOHandler()->Connected()) throw ENetAlreadyConnected();
  } else {
    // Owned by the client, so it ends at Disconnect.
    auto* handler = rtl::MakeOwned<TNetIOHandlerSocket>(*this);
    SetIOHandler(handler);
    handler->OnStatus = OnStatus;
  }
  try {
    IOHandler()->Open();
    ResetConnection();
    // The proxy handshake waits for replies no longer than a read would.
    if (Socket() != nullptr) Socket()->SocksInfo()->SetReadTimeout(ReadTimeout());
    if (Socket() != nullptr && ip_version_ != ivAny) Socket()->SetIPVersion(ip_version_);
    IOHandler()->ConnectClient(host_, port_, bound_ip_, bound_port_, bound_port_min_, bound_port_max_, timeout);
    if (Intercept() != nullptr) Intercept()->Connect(this);
    DoStatus(hsConnected, {host_});
    DoOnConnected();
  } catch (...) {
    try {
      DisconnectSocket();
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
}

std::string TNetTCPClient::ConnectAndGetAll() {
  Connect(-1);
  std::string all;
  try {
    all = AllData();
  } catch (...) {
    Disconnect();
    throw;
  }
  Disconnect();
  return all;
}

void TNetTCPClient::DoOnConnected() {
  if (OnConnected) OnConnected(this);
}

}  // namespace meridian::net
