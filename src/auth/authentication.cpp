#include "auth/authentication.h"

#include "rtl/text.h"

namespace meridian::net {

TNetAuthentication::TNetAuthentication() : params_(std::make_unique<TNetHeaderList>()) {}

TNetAuthentication::~TNetAuthentication() = default;

std::string TNetAuthentication::Username() const { return params_->GetValue("username"); }

void TNetAuthentication::SetUsername(const std::string& username) { params_->SetValue("Username", username); }

std::string TNetAuthentication::Password() const { return params_->GetValue("password"); }

void TNetAuthentication::SetPassword(const std::string& password) { params_->SetValue("Password", password); }

void TNetAuthentication::SetChallenges(const TNetHeaderList& challenges) {
  if (!challenges_) challenges_ = std::make_unique<TNetHeaderList>();
  challenges_->Assign(challenges);
}

std::string TNetAuthentication::FindChallenge(std::string_view name) const {
  if (!challenges_) return {};
  for (int32_t i = 0; i < challenges_->Count(); ++i) {
    const std::string& line = challenges_->Strings(i);
    if (rtl::FirstOccurrence(name, line) == 1) return line;
  }
  return {};
}

}  // namespace meridian::net
