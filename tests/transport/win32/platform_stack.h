// The socket stack class the tests use on this platform.
#pragma once

#include "transport/win32/net_stack_win32.h"

namespace meridian::net {
using TPlatformStack = TNetStackWindows;
}  // namespace meridian::net
