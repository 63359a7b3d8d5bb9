#include "auth/basic_authentication.h"

#include "coders/encoder.h"
#include "rtl/text.h"

namespace meridian::net {

std::string TNetBasicAuthentication::AuthorizationValue() const {
  return "Basic " + TNetEncoder::EncodeText<TNetEncoderMIME>(Username() + ":" + Password());
}

TNetAuthNextAction TNetBasicAuthentication::DecideNext() {
  std::string challenge = FindChallenge("Basic");
  rtl::Fetch(challenge, " ");  // the scheme name
  // Parameters are name=value pairs separated by ", ". A quoted value holding
  // ", " is cut there: the pair separator wins, as it always has for peers.
  // Every pass removes at least the separator, so the loop ends.
  while (!challenge.empty()) {
    std::string pair = rtl::Fetch(challenge, ", ");
    const size_t equals = rtl::FirstOccurrence("=", pair);
    if (equals > 0) pair.replace(equals - 1, 1, Params().NameSeparator());
    Params().Add(pair);
  }

  const std::string realm = Params().GetValue("realm");
  realm_ = realm.size() > 2 ? realm.substr(1, realm.size() - 2) : std::string();

  switch (CurrentStep()) {
    case 0:
      return Username().empty() ? naAskUser : naDoRequest;
    case 1:
      return naFail;
    default:
      return naDoRequest;
  }
}

}  // namespace meridian::net
