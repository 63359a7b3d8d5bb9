// HTTP Digest authentication (RFC 7616): MD5 and SHA-256, with or without
// "-sess", qop "auth" or none, the nonce count, stale nonces and opaque. The
// hash functions come from outside (SetDigestHash), so that this layer needs
// no cryptographic library of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "auth/authentication.h"

namespace meridian::net {

enum TNetDigestAlgorithm : uint8_t { daMD5, daSHA256 };

// The digest of `data` as raw bytes, or empty text when the algorithm cannot
// be computed in this process.
using TNetDigestHash = std::string (*)(TNetDigestAlgorithm algorithm, std::string_view data);

// Sets the process's hash function for Digest; none (the default) leaves the
// scheme unavailable. Thread-safe.
void SetDigestHash(TNetDigestHash hash);

// Sets the hash function and registers "Digest" (strength 10, above Basic's
// 0), once per process; later calls only replace the hash. A "Digest" that
// the program registered itself stays. Thread-safe.
void RegisterDigestAuthentication(TNetDigestHash hash);

// The fields of one Digest challenge (RFC 7616, section 3.3).
struct TNetDigestChallenge {
  std::string realm;
  std::string nonce;
  std::string opaque;
  std::string algorithm;  // as the server wrote it; empty means MD5
  std::string qop;        // the offered list, as written
  bool stale = false;
};

// Reads a challenge line ("Digest realm=..., nonce=..."): false when it is
// no Digest challenge or a parameter is malformed. Quoted values lose their
// quotes and escapes.
bool ParseDigestChallenge(std::string_view line, TNetDigestChallenge& challenge);

// The "response" value of RFC 7616, section 3.4.1, in lower-case hex; empty
// when the hash cannot be computed. `qop` is "auth" or empty (the RFC 2069
// form, without nonce count and client nonce); `session` is the "-sess"
// variant.
std::string DigestResponse(TNetDigestHash hash, TNetDigestAlgorithm algorithm, bool session,
                           std::string_view username, std::string_view realm, std::string_view password,
                           std::string_view method, std::string_view uri, std::string_view nonce,
                           std::string_view nonce_count, std::string_view cnonce, std::string_view qop);

// The Digest scheme. Of the server's Digest challenges it takes the
// strongest it can answer (SHA-256 before MD5; qop "auth" or none, never
// "auth-int" alone); each request then gets an answer for its method and
// target with the next nonce count. Step 0: an answer is due; step 1: one
// was sent. A challenge after an answer was sent fails it, unless it says
// the nonce was stale.
class TNetDigestAuthentication : public TNetAuthentication {
 public:
  static constexpr std::string_view kClassName = "TNetDigestAuthentication";

  TNetDigestAuthentication() = default;
  std::string ClassName() const override { return std::string(kClassName); }

  // Whether a hash function is set and computes MD5 here.
  static bool Available();

  // The value for the request last begun; empty before the first answered
  // challenge.
  std::string AuthorizationValue() const override { return authorization_; }
  bool KeepAlive() const override { return false; }
  int32_t StepCount() const override { return 1; }
  void Reset() override { SetCurrentStep(0); }
  // Counts the request under the current nonce and computes its answer.
  void BeginRequest(std::string_view method, std::string_view uri) override;

  // The client nonce of the next request only. Default: 16 random bytes in
  // hex, new for each request.
  void SetClientNonce(std::string cnonce) { next_cnonce_ = std::move(cnonce); }

  const TNetDigestChallenge& Challenge() const { return challenge_; }
  // Requests answered under the current nonce.
  uint32_t NonceCount() const { return nonce_count_; }

 protected:
  TNetAuthNextAction DecideNext() override;

 private:
  // The strongest challenge of Challenges that can be answered; false when
  // there is none.
  bool ChooseChallenge(TNetDigestChallenge& chosen, TNetDigestAlgorithm& algorithm, bool& session) const;

  TNetDigestChallenge challenge_;
  TNetDigestAlgorithm algorithm_ = daMD5;
  bool session_ = false;
  uint32_t nonce_count_ = 0;
  std::string next_cnonce_;
  std::string authorization_;
};

}  // namespace meridian::net
