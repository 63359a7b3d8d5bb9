#include "auth/digest_authentication.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "auth/auth_registry.h"
#include "headers/header_list.h"
#include "transport/tls/openssl_digest.h"

namespace meridian::net {
namespace {

// RFC 7616, section 3.9.1.
constexpr const char* kRealm = "http-auth@example.org";
constexpr const char* kNonce = "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v";
constexpr const char* kOpaque = "FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS";
constexpr const char* kCNonce = "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ";

class DigestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOpenSSLDigest();
    if (!TNetDigestAuthentication::Available()) GTEST_SKIP() << "OpenSSL's crypto library is not available";
  }

  // A scheme with the RFC's credentials that has taken `challenges`.
  static TNetAuthNextAction Challenge(TNetDigestAuthentication& digest, const std::vector<std::string>& challenges) {
    TNetHeaderList list;
    for (const std::string& line : challenges) list.Add(line);
    digest.SetChallenges(list);
    return digest.Next();
  }
};

std::string RFCChallenge(const std::string& algorithm) {
  return std::string("Digest realm=\"") + kRealm + "\", qop=\"auth, auth-int\", algorithm=" + algorithm +
         ", nonce=\"" + kNonce + "\", opaque=\"" + kOpaque + "\"";
}

TEST_F(DigestTest, ResponsesOfRFC7616) {
  struct Case {
    TNetDigestAlgorithm algorithm;
    const char* qop;
    const char* nonce;
    const char* response;
  } cases[] = {
      {daSHA256, "auth", kNonce, "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1"},
      {daMD5, "auth", kNonce, "8ca523f5e9506fed4657c9700eebdbec"},
      // Without qop (the older form): H(HA1:nonce:HA2), computed independently.
      {daMD5, "", "dcd98b7102dd2f0e8b11d0f600bfb0c093", nullptr},
  };
  for (const Case& c : cases) {
    const std::string realm = c.qop[0] != '\0' ? kRealm : "testrealm@host.com";
    const std::string password = c.qop[0] != '\0' ? "Circle of Life" : "Circle Of Life";
    const std::string response = DigestResponse(&OpenSSLDigest, c.algorithm, false, "Mufasa", realm, password, "GET",
                                                "/dir/index.html", c.nonce, "00000001", kCNonce, c.qop);
    EXPECT_EQ(c.response != nullptr ? c.response : "670fd8c2df070c60b045671b8b24ff02", response) << c.qop;
  }
  EXPECT_EQ("", DigestResponse(nullptr, daMD5, false, "u", "r", "p", "GET", "/", "n", "00000001", "c", "auth"));
}

TEST_F(DigestTest, AnswerCarriesEveryField) {
  TNetDigestAuthentication digest;
  digest.SetUsername("Mufasa");
  digest.SetPassword("Circle of Life");
  ASSERT_EQ(naDoRequest, Challenge(digest, {RFCChallenge("MD5"), RFCChallenge("SHA-256")}));
  EXPECT_EQ("", digest.AuthorizationValue());  // nothing before a request
  EXPECT_EQ(0, digest.CurrentStep());
  digest.SetClientNonce(kCNonce);
  digest.BeginRequest("GET", "/dir/index.html");
  EXPECT_EQ(std::string("Digest username=\"Mufasa\", realm=\"") + kRealm + "\", nonce=\"" + kNonce +
                "\", uri=\"/dir/index.html\", cnonce=\"" + kCNonce +
                "\", nc=00000001, qop=auth, response=\"753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1\", "
                "opaque=\"" + kOpaque + "\", algorithm=SHA-256",
            digest.AuthorizationValue());
  EXPECT_EQ(1, digest.CurrentStep());

  // The next request under the same nonce counts on, with a new client nonce.
  digest.BeginRequest("GET", "/dir/index.html");
  const std::string second = digest.AuthorizationValue();
  EXPECT_NE(std::string::npos, second.find(", nc=00000002, "));
  EXPECT_EQ(std::string::npos, second.find(kCNonce));
}

TEST_F(DigestTest, QuotesAndEscapesInNames) {
  TNetDigestAuthentication digest;
  digest.SetUsername("a \"quoted\\\" name");
  digest.SetPassword("p");
  ASSERT_EQ(naDoRequest, Challenge(digest, {"Digest realm=\"r \\\"x\\\", y\", nonce=abc"}));
  EXPECT_EQ("r \"x\", y", digest.Challenge().realm);
  digest.BeginRequest("GET", "/");
  const std::string value = digest.AuthorizationValue();
  EXPECT_EQ(0u, value.find("Digest username=\"a \\\"quoted\\\\\\\" name\", realm=\"r \\\"x\\\", y\", nonce=\"abc\""))
      << value;
  // No qop offered: the older form, without nonce count and client nonce.
  EXPECT_EQ(std::string::npos, value.find("nc="));
  EXPECT_EQ(std::string::npos, value.find("algorithm"));
}

TEST_F(DigestTest, ChoosesTheStrongestChallengeItCanAnswer) {
  struct Case {
    std::vector<std::string> challenges;
    TNetAuthNextAction action;
    const char* algorithm;  // of the chosen challenge
  } cases[] = {
      {{RFCChallenge("MD5"), RFCChallenge("SHA-256")}, naDoRequest, "SHA-256"},
      {{RFCChallenge("SHA-256"), RFCChallenge("MD5")}, naDoRequest, "SHA-256"},
      {{RFCChallenge("SHA-512-256"), RFCChallenge("MD5")}, naDoRequest, "MD5"},
      {{RFCChallenge("MD5-sess")}, naDoRequest, "MD5-sess"},
      {{"Digest realm=\"r\", nonce=\"n\""}, naDoRequest, ""},
      {{"Basic realm=\"r\"", "digest realm=\"r\", nonce=\"n\", algorithm=sha-256"}, naDoRequest, "sha-256"},
      {{RFCChallenge("SHA-512-256")}, naFail, ""},
      {{"Digest realm=\"r\", nonce=\"n\", qop=\"auth-int\""}, naFail, ""},
      {{"Digest realm=\"r\""}, naFail, ""},                       // no nonce
      {{"Digest realm=\"r, nonce=\"n\""}, naFail, ""},             // an open quote
      {{"Digest realm=\"r\" nonce=\"n\""}, naFail, ""},            // no comma
      {{"DigestX realm=\"r\", nonce=\"n\""}, naFail, ""},
      {{"Basic realm=\"r\""}, naFail, ""},
  };
  for (const Case& c : cases) {
    TNetDigestAuthentication digest;
    digest.SetUsername("u");
    EXPECT_EQ(c.action, Challenge(digest, c.challenges)) << c.challenges.back();
    if (c.action == naDoRequest) {
      EXPECT_EQ(c.algorithm, digest.Challenge().algorithm) << c.challenges.back();
    }
  }
}

TEST_F(DigestTest, RefusedAnswerFailsUnlessTheNonceWasStale) {
  TNetDigestAuthentication digest;
  // Without a user name the program is asked first.
  EXPECT_EQ(naAskUser, Challenge(digest, {"Digest realm=\"r\", nonce=\"one\", qop=auth"}));
  digest.SetUsername("u");
  EXPECT_EQ(naDoRequest, digest.Next());
  // No answer sent yet: the same challenge again is still answered.
  EXPECT_EQ(naDoRequest, Challenge(digest, {"Digest realm=\"r\", nonce=\"one\", qop=auth"}));
  digest.BeginRequest("GET", "/");
  digest.BeginRequest("GET", "/");
  EXPECT_EQ(2u, digest.NonceCount());

  EXPECT_EQ(naFail, Challenge(digest, {"Digest realm=\"r\", nonce=\"two\", qop=auth"}));
  EXPECT_EQ(naFail, Challenge(digest, {"Digest realm=\"r\", nonce=\"two\", qop=auth, stale=false"}));
  EXPECT_EQ(naDoRequest, Challenge(digest, {"Digest realm=\"r\", nonce=\"two\", qop=auth, stale=TRUE"}));
  EXPECT_EQ("two", digest.Challenge().nonce);
  EXPECT_EQ(0u, digest.NonceCount());
  digest.BeginRequest("GET", "/");
  EXPECT_NE(std::string::npos, digest.AuthorizationValue().find("nonce=\"two\", uri=\"/\", cnonce="));
  EXPECT_NE(std::string::npos, digest.AuthorizationValue().find("nc=00000001"));
  // Reset makes the next challenge an answer due again.
  digest.Reset();
  EXPECT_EQ(naDoRequest, Challenge(digest, {"Digest realm=\"r\", nonce=\"three\""}));
}

TEST_F(DigestTest, RegisteredAboveBasicAndOnlyWithAHash) {
  const TNetAuthenticationClass digest = FindAuthScheme("DIGEST");
  ASSERT_NE(nullptr, digest);
  EXPECT_EQ("TNetDigestAuthentication", digest->create()->ClassName());
  EXPECT_GT(digest->strength, FindAuthScheme("Basic")->strength);
  // Without a hash function the scheme is not offered.
  SetDigestHash(nullptr);
  EXPECT_EQ(nullptr, FindAuthScheme("Digest"));
  EXPECT_FALSE(TNetDigestAuthentication::Available());
  SetDigestHash([](TNetDigestAlgorithm, std::string_view) { return std::string(); });
  EXPECT_EQ(nullptr, FindAuthScheme("Digest"));
  RegisterDigestAuthentication(&OpenSSLDigest);
  EXPECT_EQ(digest, FindAuthScheme("Digest"));
}

}  // namespace
}  // namespace meridian::net
