#include "auth/basic_authentication.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "rtl/code_page.h"

namespace meridian::net {
namespace {

// Gives `auth` a copy of the challenge lines.
void Challenge(TNetAuthentication& auth, std::initializer_list<const char*> lines) {
  TNetHeaderList list;
  for (const char* line : lines) list.Add(line);
  auth.SetChallenges(list);
}

TEST(TNetBasicAuthentication, AuthorizationValueEncodesUserColonPassword) {
  const struct {
    const char* username;
    const char* password;
    const char* value;
  } cases[] = {
      {"", "", "Basic Og=="},                                            // ":" alone
      {"user", "", "Basic dXNlcjo="},                                    // "user:"
      {"", "pass", "Basic OnBhc3M="},                                    // ":pass"
      {"Aladdin", "open sesame", "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},  // RFC 2617
      {"a:b", "c", "Basic YTpiOmM="},                                    // colons pass unchanged
  };
  for (const auto& c : cases) {
    TNetBasicAuthentication auth;
    auth.SetUsername(c.username);
    auth.SetPassword(c.password);
    EXPECT_EQ(c.value, auth.AuthorizationValue()) << c.username << ":" << c.password;
  }
}

TEST(TNetBasicAuthentication, CredentialsLiveInParams) {
  TNetBasicAuthentication auth;
  auth.Params().Add("Username: direct");
  auth.Params().Add("PASSWORD: secret");
  EXPECT_EQ("direct", auth.Username());
  EXPECT_EQ("secret", auth.Password());
  auth.SetUsername("other");
  EXPECT_EQ("Username: other", auth.Params().Strings(0));
  EXPECT_EQ(2, auth.Params().Count());
}

TEST(TNetBasicAuthentication, NextAsksForAUserThenRepeatsTheRequest) {
  TNetBasicAuthentication auth;
  Challenge(auth, {"Basic realm=\"site\""});
  EXPECT_EQ(naAskUser, auth.Next());
  auth.SetUsername("user");
  EXPECT_EQ(naDoRequest, auth.Next());
  auth.SetCurrentStep(1);
  EXPECT_EQ(naFail, auth.Next());
  auth.SetCurrentStep(2);
  EXPECT_EQ(naDoRequest, auth.Next());
  auth.Reset();
  EXPECT_EQ(0, auth.CurrentStep());
  EXPECT_EQ(1, auth.StepCount());
  EXPECT_FALSE(auth.KeepAlive());
}

TEST(TNetBasicAuthentication, ChallengeParametersAccumulateInParams) {
  TNetBasicAuthentication auth;
  Challenge(auth, {"Digest realm=\"d\"", "Basic realm=\"my site\", charset=\"UTF-8\""});
  auth.Next();
  ASSERT_EQ(2, auth.Params().Count());
  EXPECT_EQ("realm: \"my site\"", auth.Params().Strings(0));
  EXPECT_EQ("charset: \"UTF-8\"", auth.Params().Strings(1));
  EXPECT_EQ("my site", auth.Realm());
  // Every decision appends the parameters again; the first realm line wins.
  Challenge(auth, {"Basic realm=\"other\""});
  auth.Next();
  EXPECT_EQ(3, auth.Params().Count());
  EXPECT_EQ("my site", auth.Realm());
}

TEST(TNetBasicAuthentication, PairSeparatorAndFirstEqualsRule) {
  const struct {
    const char* challenge;
    std::vector<std::string> params;
    const char* realm;
  } cases[] = {
      // ", " inside a quoted value still ends the pair.
      {"Basic realm=\"a, b\"", {"realm: \"a", "b\""}, ""},
      // Only the first "=" of a pair becomes the separator.
      {"Basic realm=\"x=y\"", {"realm: \"x=y\""}, "x=y"},
      // No parameters, nothing added.
      {"Basic", {}, ""},
      {"Basic ", {}, ""},
      // A pair without "=" is added as it is.
      {"Basic token", {"token"}, ""},
      // Realms of two characters or fewer give an empty realm.
      {"Basic realm=\"\"", {"realm: \"\""}, ""},
      {"Basic realm=x", {"realm: x"}, ""},
  };
  for (const auto& c : cases) {
    TNetBasicAuthentication auth;
    Challenge(auth, {c.challenge});
    auth.Next();
    EXPECT_EQ(c.params, auth.Params().Lines()) << c.challenge;
    EXPECT_EQ(c.realm, auth.Realm()) << c.challenge;
  }
}

TEST(TNetAuthentication, FindChallengeMatchesOnlyAtTheStartWithCase) {
  TNetBasicAuthentication auth;
  EXPECT_EQ("", auth.FindChallenge("Basic"));  // no challenges yet
  EXPECT_EQ(nullptr, auth.Challenges());
  Challenge(auth, {"basic realm=\"a\"", " Basic realm=\"b\"", "NTLM", "Basic realm=\"c\"", "Basic x"});
  EXPECT_EQ("Basic realm=\"c\"", auth.FindChallenge("Basic"));
  EXPECT_EQ("NTLM", auth.FindChallenge("NTLM"));
  EXPECT_EQ("", auth.FindChallenge("Negotiate"));
  EXPECT_EQ("", auth.FindChallenge(""));
  // Setting challenges replaces the copy held.
  Challenge(auth, {"Basic realm=\"d\""});
  EXPECT_EQ(1, auth.Challenges()->Count());
}

TEST(TNetAuthentication, FindChallengeIsDoubleByteAware) {
  const uint32_t saved = rtl::CodePage();
  rtl::SetCodePage(platform::kCodePageKorean);
  TNetBasicAuthentication auth;
  // 0x81 is a lead byte there: the "B" after it is the second byte of one
  // character, so "Basic" really starts only on the second line.
  Challenge(auth, {"\x81" "Basic realm=\"a\"", "Basic realm=\"b\""});
  const std::string found = auth.FindChallenge("Basic");
  rtl::SetCodePage(saved);
  EXPECT_EQ("Basic realm=\"b\"", found);
}

}  // namespace
}  // namespace meridian::net
