// The I/O handler over one plain TCP socket: binds, resolves, connects (with
// an optional time-out) and reads and writes through its socket handle.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transport/io_handler.h"
#include "transport/socket_handle.h"

namespace meridian::net {

class TNetSocksInfo;

// Owns its socket handle (Binding, created by Open) and its own SOCKS settings;
// refers to SOCKS settings owned elsewhere and forgets them when they are
// destroyed. One thread at a time (a connect with a time-out runs a helper
// thread that has ended before ConnectClient returns).
class TNetIOHandlerSocket : public TNetIOHandler {
 public:
  explicit TNetIOHandlerSocket(rtl::TComponent* owner = nullptr);
  ~TNetIOHandlerSocket() override;
  std::string ClassName() const override { return "TNetIOHandlerSocket"; }

  // Closes the socket, if one is open.
  void Close() override;
  // Creates and binds a socket, resolves `host` (reporting hsResolving unless
  // it is a dotted or IPv6 address) and connects (reporting hsConnecting for
  // each address tried: every address of the families IPVersion allows, in
  // the resolver's order, until one answers; the first failure is reported
  // when none does); through the SOCKS proxy when one is configured. `timeout` -1 or 0: one blocking
  // connect (limited to 120 s while an anti-freeze is in use); above 0 or -2
  // (no limit): the connect runs on a helper thread polled every 125 ms.
  // Throws the bind exceptions of TNetSocketHandle::Bind; ENetSocketError
  // for an unknown host or a failed connect, with or without time-out (raised
  // on the caller's thread as the connect thread raised it);
  // ENetConnectTimeout "Connect timed out." when the time-out
  // passes (the attempt has ended by then). With several addresses the
  // time-out bounds them all: each but the last gets its share of the time
  // left. Under a Deadline the time-out is
  // cut to the time left (a blocking connect becomes a timed one), and a
  // deadline that passes while the name is resolved is a connect time-out as
  // well. The caller closes the socket.
  void ConnectClient(const std::string& host, int32_t port, const std::string& bound_ip, int32_t bound_port,
                     int32_t bound_port_min, int32_t bound_port_max, int32_t timeout) override;
  // True while the socket is open.
  bool Connected() override;
  // Makes Binding ready for a new connection (a new one, or the old one reset).
  void Open() override;
  // Throw ENetConnClosedGracefully when no socket is open.
  bool Readable(int32_t timeout) override;
  bool Writable(int32_t timeout) override;
  // Throw ENetClosedSocket "Disconnected." when no socket is open.
  int32_t Recv(void* buffer, int32_t length) override;
  int32_t Send(const void* buffer, int32_t length) override;

  // The socket of the connection; null before the first Open.
  TNetSocketHandle* Binding() const { return binding_.get(); }
  // The address families a connect may use. Default: ivAny.
  TNetIPVersion IPVersion() const { return ip_version_; }
  void SetIPVersion(TNetIPVersion version) { ip_version_ = version; }
  // False sets the no-delay option on connecting. Default: true.
  bool UseNagle() const { return use_nagle_; }
  void SetUseNagle(bool value) { use_nagle_ = value; }
  // The SOCKS settings; the handler's own (svNoSocks) are created on first use.
  TNetSocksInfo* SocksInfo();
  // A component with an owner is referred to; one without is copied into the
  // handler's own settings; null drops the settings.
  void SetSocksInfo(TNetSocksInfo* info);

 protected:
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

 private:
  // Connects Binding on a helper thread, waiting at most `timeout` ms (-2: no
  // limit).
  void ConnectWithTimeout(int32_t timeout);
  // Connects Binding: one blocking connect for `timeout` -1, 0 or below -2
  // (on the helper thread while an anti-freeze is in use), else as above.
  void ConnectBinding(int32_t timeout);

  std::unique_ptr<TNetSocketHandle> binding_;
  bool use_nagle_ = true;
  TNetIPVersion ip_version_ = ivAny;
  std::unique_ptr<TNetSocksInfo> own_socks_info_;
  TNetSocksInfo* socks_info_ = nullptr;
};

}  // namespace meridian::net
