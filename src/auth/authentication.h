// The interface of HTTP authentication schemes: an object that produces the
// value of an "Authorization" or "Proxy-Authorization" line and tells the HTTP
// client, after a 401 or 407 answer, what to do next.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "headers/header_list.h"
#include "rtl/component.h"

namespace meridian::net {

// What the HTTP client does after a challenge.
enum TNetAuthNextAction : uint8_t {
  naAskUser,    // the program must supply or confirm credentials
  naDoRequest,  // send the request again with the authorization
  naFail,       // give up
};

// A scheme holds its credentials and the server's challenge parameters as
// name/value lines in Params, and a copy of the server's challenge lines.
//
// Created by the request header records or the HTTP client and owned by the
// request it is attached to. Not thread-safe: one exchange uses it at a time.
class TNetAuthentication : public rtl::TPersistent {
 public:
  TNetAuthentication();
  ~TNetAuthentication() override;
  std::string ClassName() const override { return "TNetAuthentication"; }

  // Decides the next step after a challenge (DecideNext). The HTTP client calls
  // it in a loop, bounded by its own retry count.
  TNetAuthNextAction Next() { return DecideNext(); }

  // Returns to the first step. Params, the challenges and what a scheme learnt
  // from them stay. Default: does nothing.
  virtual void Reset() {}

  // The text after "Authorization: " (or "Proxy-Authorization: ").
  virtual std::string AuthorizationValue() const = 0;
  // Whether the scheme needs the connection kept open between its steps.
  virtual bool KeepAlive() const = 0;
  // The number of steps of the scheme. Default: 0.
  virtual int32_t StepCount() const { return 0; }

  // Called by the HTTP client before each request that carries the scheme's
  // header value, with the method word ("GET") and the request target the
  // value answers; schemes whose value depends on the request (Digest)
  // compute it here. Default: does nothing.
  virtual void BeginRequest(std::string_view /*method*/, std::string_view /*uri*/) {}

  // Step counter: 0 after construction and after Reset.
  int32_t CurrentStep() const { return current_step_; }
  void SetCurrentStep(int32_t step) { current_step_ = step; }

  // The credentials, kept in Params under "Username" and "Password" as
  // unfolded lines; reading looks them up without regard to letter case and
  // gives the value byte for byte (blanks at either end included).
  std::string Username() const;
  virtual void SetUsername(const std::string& username);
  std::string Password() const;
  virtual void SetPassword(const std::string& password);

  // The scheme's parameters as name/value lines: the credentials, the
  // parameters of the server's challenges, and whatever the HTTP client stores.
  TNetHeaderList& Params() { return *params_; }
  const TNetHeaderList& Params() const { return *params_; }

  // Replaces the held challenge lines (the values of the server's
  // "WWW-Authenticate" or "Proxy-Authenticate" lines, one a line) by a copy of
  // `challenges`.
  void SetChallenges(const TNetHeaderList& challenges);
  // The held challenge lines; none before the first SetChallenges.
  const TNetHeaderList* Challenges() const { return challenges_.get(); }

  // The first challenge line that starts with `name`, letter case counting
  // ("basic realm=x" is no "Basic" challenge); empty when there is none.
  std::string FindChallenge(std::string_view name) const;

 protected:
  // What Next answers.
  virtual TNetAuthNextAction DecideNext() = 0;

 private:
  int32_t current_step_ = 0;
  std::unique_ptr<TNetHeaderList> params_;
  std::unique_ptr<TNetHeaderList> challenges_;
};

// A class reference of a scheme: its class name and a way to construct it;
// whether it can work in this process (none: always), and its strength: when
// a server offers several registered schemes, the strongest is chosen, the
// first offered among equals.
struct TNetAuthenticationClassInfo {
  std::string_view class_name;
  std::unique_ptr<TNetAuthentication> (*create)();
  bool (*available)() = nullptr;
  int32_t strength = 0;
};
using TNetAuthenticationClass = const TNetAuthenticationClassInfo*;

// The class reference of `Scheme`, which names itself in a static kClassName.
//   auto scheme = AuthenticationClass<TNetBasicAuthentication>()->create();
template <typename Scheme>
TNetAuthenticationClass AuthenticationClass() {
  static constexpr TNetAuthenticationClassInfo kInfo{
      Scheme::kClassName, []() -> std::unique_ptr<TNetAuthentication> { return std::make_unique<Scheme>(); }};
  return &kInfo;
}

}  // namespace meridian::net
