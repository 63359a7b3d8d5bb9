// A network of the test's own, so that fixed ports are free and nothing
// outside the machine can be reached.
#pragma once

namespace meridian::testing {

// Moves the calling thread, and the threads and processes it starts from now
// on, into a new network namespace whose only interface is loopback, up.
// False when the platform refuses (no privilege, no namespace support).
bool EnterPrivateNetwork();

}  // namespace meridian::testing
