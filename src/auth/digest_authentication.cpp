#include "auth/digest_authentication.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <random>

#include "auth/auth_registry.h"
#include "net/exceptions.h"
#include "rtl/text.h"

namespace meridian::net {

namespace {

std::atomic<TNetDigestHash> g_hash{nullptr};

std::string Hex(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0f];
  }
  return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void SkipBlanks(std::string_view text, size_t& at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
}

// A token or a quoted-string (RFC 9110, section 5.6) from `at`; false when a
// quoted string is not closed.
bool ReadValue(std::string_view text, size_t& at, std::string& value) {
  value.clear();
  if (at < text.size() && text[at] == '"') {
    for (++at; at < text.size(); ++at) {
      if (text[at] == '"') {
        ++at;
        return true;
      }
      if (text[at] == '\\' && at + 1 < text.size()) ++at;
      value += text[at];
    }
    return false;
  }
  while (at < text.size() && text[at] != ',' && !IsBlank(text[at])) value += text[at++];
  return true;
}

// A quoted-string for a parameter of the answer.
std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The algorithm a challenge names: false for one this scheme does not speak.
bool AlgorithmOf(const std::string& name, TNetDigestAlgorithm& algorithm, bool& session) {
  struct Known {
    const char* name;
    TNetDigestAlgorithm algorithm;
    bool session;
  };
  static constexpr Known kKnown[] = {
      {"", daMD5, false},          {"MD5", daMD5, false},          {"MD5-sess", daMD5, true},
      {"SHA-256", daSHA256, false}, {"SHA-256-sess", daSHA256, true},
  };
  for (const Known& known : kKnown) {
    if (rtl::SameText(name, known.name)) {
      algorithm = known.algorithm;
      session = known.session;
      return true;
    }
  }
  return false;
}

// Whether the offered qop list (a comma-separated list) names `wanted`.
bool OffersQop(const std::string& offered, std::string_view wanted) {
  std::string rest = offered;
  while (!rest.empty()) {
    if (rtl::SameText(rtl::Trim(rtl::Fetch(rest, ",")), std::string(wanted))) return true;
  }
  return false;
}

std::string RandomNonce() {
  std::random_device device;
  std::string bytes;
  for (int i = 0; i < 4; ++i) {
    const uint32_t word = device();
    bytes.append(reinterpret_cast<const char*>(&word), sizeof word);
  }
  return Hex(bytes);
}

TNetAuthenticationClass DigestClass() {
  static constexpr TNetAuthenticationClassInfo kInfo{
      TNetDigestAuthentication::kClassName,
      []() -> std::unique_ptr<TNetAuthentication> { return std::make_unique<TNetDigestAuthentication>(); },
      &TNetDigestAuthentication::Available, 10};
  return &kInfo;
}

}  // namespace

void SetDigestHash(TNetDigestHash hash) { g_hash.store(hash); }

void RegisterDigestAuthentication(TNetDigestHash hash) {
  SetDigestHash(hash);
  static std::once_flag once;
  std::call_once(once, [] {
    try {
      RegisterAuthScheme("Digest", DigestClass());
    } catch (const ENetAlreadyRegisteredAuthenticationMethod&) {
      // The program's own Digest scheme stays.
    }
  });
}

bool ParseDigestChallenge(std::string_view line, TNetDigestChallenge& challenge) {
  size_t at = 0;
  SkipBlanks(line, at);
  if (line.size() - at < 6 || !rtl::SameText(std::string(line.substr(at, 6)), "Digest")) return false;
  at += 6;
  if (at < line.size() && !IsBlank(line[at])) return false;
  challenge = {};
  // name=value pairs separated by commas; every pass takes at least one byte.
  while (at < line.size()) {
    SkipBlanks(line, at);
    if (at < line.size() && line[at] == ',') {
      ++at;
      continue;
    }
    const size_t name_start = at;
    while (at < line.size() && line[at] != '=' && line[at] != ',' && !IsBlank(line[at])) ++at;
    const std::string name(line.substr(name_start, at - name_start));
    SkipBlanks(line, at);
    if (name.empty() || at >= line.size() || line[at] != '=') return false;
    ++at;
    SkipBlanks(line, at);
    std::string value;
    if (!ReadValue(line, at, value)) return false;
    if (rtl::SameText(name, "realm")) {
      challenge.realm = value;
    } else if (rtl::SameText(name, "nonce")) {
      challenge.nonce = value;
    } else if (rtl::SameText(name, "opaque")) {
      challenge.opaque = value;
    } else if (rtl::SameText(name, "algorithm")) {
      challenge.algorithm = value;
    } else if (rtl::SameText(name, "qop")) {
      challenge.qop = value;
    } else if (rtl::SameText(name, "stale")) {
      challenge.stale = rtl::SameText(value, "true");
    }
    SkipBlanks(line, at);
    if (at < line.size() && line[at] != ',') return false;
  }
  return true;
}

std::string DigestResponse(TNetDigestHash hash, TNetDigestAlgorithm algorithm, bool session,
                           std::string_view username, std::string_view realm, std::string_view password,
                           std::string_view method, std::string_view uri, std::string_view nonce,
                           std::string_view nonce_count, std::string_view cnonce, std::string_view qop) {
  if (hash == nullptr) return {};
  bool failed = false;
  auto h = [&](const std::string& data) {
    const std::string digest = hash(algorithm, data);
    if (digest.empty()) failed = true;
    return Hex(digest);
  };
  auto join = [](std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
      if (!text.empty()) text += ':';
      text.append(part);
    }
    return text;
  };
  // RFC 7616, 3.4.2: the "-sess" variants hash the nonces into A1.
  std::string ha1 = h(std::string(username) + ":" + std::string(realm) + ":" + std::string(password));
  if (session) ha1 = h(join({ha1, nonce, cnonce}));
  const std::string ha2 = h(join({method, uri}));
  const std::string response = qop.empty() ? h(join({ha1, nonce, ha2}))
                                           : h(join({ha1, nonce, nonce_count, cnonce, qop, ha2}));
  return failed ? std::string() : response;
}

bool TNetDigestAuthentication::Available() {
  const TNetDigestHash hash = g_hash.load();
  return hash != nullptr && !hash(daMD5, "").empty();
}

bool TNetDigestAuthentication::ChooseChallenge(TNetDigestChallenge& chosen, TNetDigestAlgorithm& algorithm,
                                               bool& session) const {
  const TNetHeaderList* challenges = Challenges();
  if (challenges == nullptr) return false;
  const TNetDigestHash hash = g_hash.load();
  bool found = false;
  for (const std::string& line : challenges->Lines()) {
    TNetDigestChallenge candidate;
    TNetDigestAlgorithm candidate_algorithm = daMD5;
    bool candidate_session = false;
    if (!ParseDigestChallenge(line, candidate) || candidate.nonce.empty()) continue;
    if (!AlgorithmOf(candidate.algorithm, candidate_algorithm, candidate_session)) continue;
    // Integrity protection of the body ("auth-int") is not offered.
    if (!candidate.qop.empty() && !OffersQop(candidate.qop, "auth")) continue;
    if (hash == nullptr || hash(candidate_algorithm, "").empty()) continue;
    if (found && candidate_algorithm <= algorithm) continue;
    chosen = candidate;
    algorithm = candidate_algorithm;
    session = candidate_session;
    found = true;
  }
  return found;
}

TNetAuthNextAction TNetDigestAuthentication::DecideNext() {
  TNetDigestChallenge challenge;
  TNetDigestAlgorithm algorithm = daMD5;
  bool session = false;
  if (!ChooseChallenge(challenge, algorithm, session)) return naFail;
  if (CurrentStep() != 0) {
    // The answer was refused. Only a stale nonce (RFC 7616, 3.3) is worth
    // another one with the same credentials.
    if (!challenge.stale) return naFail;
    SetCurrentStep(0);
  }
  challenge_ = std::move(challenge);
  algorithm_ = algorithm;
  session_ = session;
  nonce_count_ = 0;
  authorization_.clear();
  Params().SetValue("realm", challenge_.realm);
  return Username().empty() ? naAskUser : naDoRequest;
}

void TNetDigestAuthentication::BeginRequest(std::string_view method, std::string_view uri) {
  if (challenge_.nonce.empty()) return;
  ++nonce_count_;
  const std::string cnonce = next_cnonce_.empty() ? RandomNonce() : std::move(next_cnonce_);
  next_cnonce_.clear();
  char count[9];
  std::snprintf(count, sizeof count, "%08x", nonce_count_);
  const bool with_qop = !challenge_.qop.empty();
  const std::string qop = with_qop ? "auth" : "";
  const std::string response = DigestResponse(g_hash.load(), algorithm_, session_, Username(), challenge_.realm,
                                              Password(), method, uri, challenge_.nonce, count, cnonce, qop);
  std::string value = "Digest username=" + Quoted(Username()) + ", realm=" + Quoted(challenge_.realm) +
                      ", nonce=" + Quoted(challenge_.nonce) + ", uri=" + Quoted(uri);
  if (with_qop) value += ", cnonce=" + Quoted(cnonce) + ", nc=" + count + ", qop=auth";
  value += ", response=" + Quoted(response);
  if (!challenge_.opaque.empty()) value += ", opaque=" + Quoted(challenge_.opaque);
  if (!challenge_.algorithm.empty()) value += ", algorithm=" + challenge_.algorithm;
  authorization_ = std::move(value);
  SetCurrentStep(1);
}

}  // namespace meridian::net
