// HTTP Basic authentication (RFC 2617 section 2): the credentials as
// "user:password" in base64.
#pragma once

#include <string>
#include <string_view>

#include "auth/authentication.h"

namespace meridian::net {

// A one-step scheme: it sends the credentials it has and gives up when the
// server refuses them at step 1. Registered under "Basic" at start.
class TNetBasicAuthentication : public TNetAuthentication {
 public:
  static constexpr std::string_view kClassName = "TNetBasicAuthentication";

  TNetBasicAuthentication() = default;
  std::string ClassName() const override { return std::string(kClassName); }

  // "Basic " followed by the base64 of Username, ":" and Password.
  std::string AuthorizationValue() const override;
  bool KeepAlive() const override { return false; }
  int32_t StepCount() const override { return 1; }
  void Reset() override { SetCurrentStep(0); }

  // The realm of the last challenge without its quotes (its first and last
  // character); empty when it has two characters or fewer.
  const std::string& Realm() const { return realm_; }

 protected:
  // Adds the parameters of the "Basic" challenge to Params (again on every
  // call), takes the realm from the first "realm" line of Params, and answers
  // by step: 0 asks the user when there is no user name, 1 fails, any other
  // step repeats the request.
  TNetAuthNextAction DecideNext() override;

 private:
  std::string realm_;
};

}  // namespace meridian::net
