// The server side's I/O handler: prepares itself once and makes the I/O
// handler of each connection it accepts.
#pragma once

#include <memory>

#include "transport/io_handler.h"
#include "transport/net_stack.h"

namespace meridian::net {

class TNetServerIOHandler : public TNetComponent {
 public:
  using TNetComponent::TNetComponent;

  // Prepares the handler before the first accept. Default: nothing.
  virtual void Init() {}
  // Accepts the connection waiting on `listener` into a new I/O handler that
  // the caller owns; null when none was accepted.
  virtual std::unique_ptr<TNetIOHandler> Accept(TNetStackSocketHandle listener) = 0;
};

}  // namespace meridian::net
