#include "auth/authentication.h"

#include <string_view>

#include "rtl/text.h"

namespace meridian::net {

TNetAuthentication::TNetAuthentication() : params_(std::make_unique<TNetHeaderList>()) {}

TNetAuthentication::~TNetAuthentication() = default;

namespace {

// Credentials are kept in the parameter list as single, unfolded lines and read
// back byte for byte: a blank at either end or a run of blanks is part of a
// password, which header-value reading would trim or fold away.
void SetCredential(TNetHeaderList& params, std::string_view name, const std::string& value) {
  const bool fold = params.FoldOnSet();
  params.SetFoldOnSet(false);
  params.SetValue(name, value);
  params.SetFoldOnSet(fold);
}

std::string Credential(const TNetHeaderList& params, std::string_view name) {
  const int32_t index = params.FindName(name);
  if (index < 0) return {};
  const std::string& line = params.Strings(index);
  // The name ends at the ":"; one blank after it belongs to the separator.
  size_t start = params.NameAt(index).size() + 1;
  if (start < line.size() && line[start] == ' ') ++start;
  return start < line.size() ? line.substr(start) : std::string();
}

}  // namespace

std::string TNetAuthentication::Username() const { return Credential(*params_, "username"); }

void TNetAuthentication::SetUsername(const std::string& username) { SetCredential(*params_, "Username", username); }

std::string TNetAuthentication::Password() const { return Credential(*params_, "password"); }

void TNetAuthentication::SetPassword(const std::string& password) { SetCredential(*params_, "Password", password); }

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
