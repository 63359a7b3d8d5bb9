// The events of the TLS layer and the interface of the objects that fire them
// (the client I/O handler and the server handler).
#pragma once

#include <functional>
#include <string>

#include "transport/tls/x509.h"

namespace meridian::net {

using TCallbackEvent = std::function<void(const std::string& msg)>;
using TPasswordEvent = std::function<void(std::string& password)>;
using TVerifyPeerEvent = std::function<bool(TNetX509& certificate)>;

// What a TLS context and session ask of the handler they belong to.
class TNetSSLEvents {
 public:
  // Calls OnStatusInfo with `msg` when set.
  virtual void FireStatusInfo(const std::string& msg) = 0;
  // Calls OnGetPassword when set; the password starts empty.
  virtual void FireGetPassword(std::string& password) = 0;
  // OnVerifyPeer's answer; true when it is not set.
  virtual bool FireVerifyPeer(TNetX509& certificate) = 0;

 protected:
  ~TNetSSLEvents() = default;
};

}  // namespace meridian::net
