// The socket stack class the tests use on this platform.
#pragma once

#include "transport/posix/net_stack_posix.h"

namespace meridian::net {
using TPlatformStack = TNetStackPosix;
}  // namespace meridian::net
