// Feeds arbitrary challenge lines and credentials to the Basic scheme: its
// decision must stay within bounds, and its header value must be one line.
#include <cstdlib>

#include "auth/auth_registry.h"
#include "auth/basic_authentication.h"
#include "fuzz_input.h"

using meridian::net::TNetBasicAuthentication;
using meridian::net::TNetHeaderList;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  meridian::fuzz::FuzzInput input(data, size);
  input.PickCodePage();
  const std::string username = input.Text();
  const std::string password = input.Text();
  const std::string challenges_text = input.Rest();

  TNetHeaderList challenges;
  challenges.SetText(challenges_text);
  TNetBasicAuthentication auth;
  auth.SetChallenges(challenges);
  auth.SetUsername(username);
  auth.SetPassword(password);

  const int32_t before = auth.Params().Count();
  const auto action = auth.Next();
  if (action != meridian::net::naAskUser && action != meridian::net::naDoRequest) abort();
  // Each pair is cut at ", ", so a challenge yields at most one line for every
  // two characters of it, plus one.
  if (auth.Params().Count() - before > static_cast<int32_t>(challenges_text.size() / 2 + 1)) abort();
  auth.Next();

  const std::string value = auth.AuthorizationValue();
  if (value.rfind("Basic ", 0) != 0 || value.find_first_of("\r\n") != std::string::npos) abort();
  meridian::net::FindAuthScheme(username);
  return 0;
}
