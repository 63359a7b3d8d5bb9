// The hashes of Digest authentication through OpenSSL's crypto library,
// bound at run time like the rest of OpenSSL.
#pragma once

#include <string>
#include <string_view>

#include "auth/digest_authentication.h"

namespace meridian::net {

// The digest of `data` (raw bytes), loading OpenSSL on first use; empty when
// OpenSSL cannot be loaded or lacks the algorithm. A TNetDigestHash.
std::string OpenSSLDigest(TNetDigestAlgorithm algorithm, std::string_view data);

// Registers the Digest scheme with OpenSSLDigest (RegisterDigestAuthentication).
// Loads nothing: OpenSSL is loaded when a server first offers Digest, and
// without it the scheme is not offered. Cheap to call again.
void RegisterOpenSSLDigest();

}  // namespace meridian::net
