// Errors of the launcher.
#pragma once

#include "net/exceptions.h"
#include "rtl/exceptions.h"

namespace meridian::launcher {

// A catalogue operation failed; the message is the database provider's.
class EDatabaseError : public rtl::Exception {
  using Exception::Exception;
};

// The update download grew past the bytes it may take; raised inside the
// connection's reads, so it is one of the network failures.
class EDownloadTooLarge : public net::ENetException {
 public:
  EDownloadTooLarge() : net::ENetException("Download too large") {}
};

}  // namespace meridian::launcher
