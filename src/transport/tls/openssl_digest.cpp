#include "transport/tls/openssl_digest.h"

#include <atomic>

#include "transport/tls/openssl_binding.h"

namespace meridian::net {

std::string OpenSSLDigest(TNetDigestAlgorithm algorithm, std::string_view data) {
  if (!TNetOpenSSL::Load()) return {};
  const TOpenSSLEntries& entries = OpenSSL();
  const auto method = algorithm == daSHA256 ? entries.EVP_sha256 : entries.EVP_md5;
  if (method == nullptr || entries.EVP_Digest == nullptr) return {};
  const EVP_MD* type = method();
  if (type == nullptr) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  // A provider that refuses the algorithm (MD5 under FIPS rules) fails here.
  if (entries.EVP_Digest(data.data(), data.size(), digest, &length, type, nullptr) != 1) return {};
  return std::string(reinterpret_cast<const char*>(digest), length);
}

void RegisterOpenSSLDigest() {
  static std::atomic<bool> registered{false};
  if (registered.load(std::memory_order_acquire)) return;
  RegisterDigestAuthentication(&OpenSSLDigest);
  registered.store(true, std::memory_order_release);
}

}  // namespace meridian::net
