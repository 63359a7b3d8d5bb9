// Errors of the launcher.
#pragma once

#include "rtl/exceptions.h"

namespace meridian::launcher {

// A catalogue operation failed; the message is the database provider's.
class EDatabaseError : public rtl::Exception {
  using Exception::Exception;
};

}  // namespace meridian::launcher
