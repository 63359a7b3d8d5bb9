// The SOCKS proxy settings of a socket I/O handler and the client side of the
// SOCKS 4, 4A and 5 handshakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "transport/net_component.h"

namespace meridian::net {

class TNetIOHandlerSocket;

enum TSocksVersion : uint8_t { svNoSocks, svSocks4, svSocks4A, svSocks5 };
enum TSocksAuthentication : uint8_t { saNoAuthentication, saUsernamePassword };

// With Version other than svNoSocks the I/O handler connects to Host:Port and
// then calls Negotiate with the real target; once Negotiate returns, the
// connection carries the target's bytes. Refers to the I/O handler it talks
// through (set by that handler, not owned) and forgets it when it is destroyed.
// One thread at a time.
class TNetSocksInfo : public TNetComponent {
 public:
  // The longest user name, password or host name a request can carry.
  static constexpr size_t kMaxTextLength = 255;

  explicit TNetSocksInfo(rtl::TComponent* owner = nullptr);
  ~TNetSocksInfo() override;
  std::string ClassName() const override { return "TNetSocksInfo"; }

  // From another TNetSocksInfo: the six settings (not the I/O handler nor
  // ReadTimeout); from anything else the component's default.
  void Assign(const rtl::TPersistent& source) override;

  // Opens the tunnel to `host`:`port` over the I/O handler's open connection
  // to the proxy: the SOCKS 4 handshake for svSocks4 and svSocks4A, the SOCKS 5
  // one for svSocks5, nothing for svNoSocks. Returns when the proxy accepted.
  // Throws what the two handshakes throw; ENetClosedSocket "Disconnected."
  // when no I/O handler is set.
  virtual void Negotiate(const std::string& host, int32_t port);

  // Sends the SOCKS 4 connect request (4A when Version is svSocks4A: the name
  // goes to the proxy; else it is resolved here, a dotted address as it is)
  // and reads the 8-byte reply.
  // Throws ENetSocksValueError before sending when Username (or the 4A host
  // name) is longer than 255 bytes or holds a zero byte; ENetSocksRequestFailed,
  // ENetSocksRequestServerFailed, ENetSocksRequestIdentFailed for the codes 91,
  // 92, 93 and ENetSocksUnknownError for any other code than 90;
  // ENetSocksServerRespondError when the proxy closes before a full reply;
  // ENetReadTimeout when the reply takes longer than ReadTimeout; errors of
  // the lookup, of sending and receiving unchanged.
  virtual void NegotiateSocks4(const std::string& host, int32_t port);

  // Selects the method of Authentication, sends user name and password when
  // it is saUsernamePassword, then asks for a connection to `host`:`port`,
  // always by name (the proxy resolves it), and reads the whole reply.
  // Throws ENetSocksValueError before sending when the host name, Username or
  // Password is longer than 255 bytes; ENetSocksServerRespondError "Socks
  // server did not respond." when any receive fails or the proxy closes;
  // ENetReadTimeout when ReadTimeout passes; ENetSocksAuthMethodError when the proxy picks another
  // method; ENetSocksAuthError when it refuses the credentials;
  // ENetSocksServerGeneralError ... ENetSocksServerAddressError for the result
  // codes 1 to 8, ENetSocksUnknownError above; ENetSocksReplyError for an
  // unknown address type in the reply; errors of sending unchanged.
  virtual void NegotiateSocks5(const std::string& host, int32_t port);

  // SOCKS 5 method to offer. Default: saNoAuthentication.
  TSocksAuthentication Authentication() const { return authentication_; }
  void SetAuthentication(TSocksAuthentication value) { authentication_ = value; }
  // Proxy host name or dotted address. Default: empty.
  const std::string& Host() const { return host_; }
  void SetHost(std::string host) { host_ = std::move(host); }
  // SOCKS 5 password. Default: empty.
  const std::string& Password() const { return password_; }
  void SetPassword(std::string password) { password_ = std::move(password); }
  // Proxy port. Default: 1080.
  int32_t Port() const { return port_; }
  void SetPort(int32_t port) { port_ = port; }
  // SOCKS 4 user id; SOCKS 5 user name. Default: empty.
  const std::string& Username() const { return username_; }
  void SetUsername(std::string username) { username_ = std::move(username); }
  // Which handshake to run. Default: svNoSocks.
  TSocksVersion Version() const { return version_; }
  void SetVersion(TSocksVersion version) { version_ = version; }

  // The longest wait in ms for each whole reply of the proxy; 0 or below: no
  // limit. A TCP client sets it to its own ReadTimeout before connecting.
  // Default: 0.
  int32_t ReadTimeout() const { return read_timeout_; }
  void SetReadTimeout(int32_t timeout) { read_timeout_ = timeout; }

  TNetIOHandlerSocket* IOHandler() const { return io_handler_; }
  void SetIOHandler(TNetIOHandlerSocket* handler);

 protected:
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

 private:
  // The handler to talk through. Throws ENetClosedSocket when none is set.
  TNetIOHandlerSocket& Handler() const;
  // Sends all of `bytes`. Throws ENetSocketError when a send fails.
  void SendRequest(const std::string& bytes);
  // Fills `buffer` with exactly `count` bytes, gathering as many receives as
  // the proxy needs, all within ReadTimeout. Throws ENetSocketError when a
  // receive fails, ENetReadTimeout when the time is up and
  // ENetSocksServerRespondError when the proxy closes first.
  void ReceiveReply(uint8_t* buffer, size_t count);
  // ReceiveReply, turning every failure but the time-out into
  // ENetSocksServerRespondError.
  void ReceiveSocks5Reply(uint8_t* buffer, size_t count);
  // Appends `port` in network byte order.
  static void AppendPort(std::string& request, int32_t port);
  // Throws ENetSocksValueError naming `what` when `text` is longer than 255
  // bytes or, with `zero_ends` (the request ends the text with a zero byte),
  // holds a zero byte.
  static void CheckText(const std::string& text, const char* what, bool zero_ends);

  TSocksAuthentication authentication_ = saNoAuthentication;
  std::string host_;
  std::string password_;
  int32_t port_ = 1080;
  std::string username_;
  TSocksVersion version_ = svNoSocks;
  int32_t read_timeout_ = 0;
  TNetIOHandlerSocket* io_handler_ = nullptr;
};

}  // namespace meridian::net
