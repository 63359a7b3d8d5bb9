// The hook through which a user interface stays responsive while the
// transport blocks. The transport calls DoProcess between waits; nothing
// happens unless a concrete anti-freeze has been created.
#pragma once

#include <cstdint>
#include <string>

#include "transport/net_component.h"

namespace meridian::net {

// At most one anti-freeze is registered per process: constructing one
// registers it (replacing an earlier one), destroying the registered one
// clears the registration. It acts only on the main thread, the thread that
// started the process (the one that ran the transport library's static
// initialisation).
class TNetAntiFreezeBase : public TNetBaseComponent {
 public:
  explicit TNetAntiFreezeBase(rtl::TComponent* owner = nullptr);
  ~TNetAntiFreezeBase() override;
  std::string ClassName() const override { return "TNetAntiFreezeBase"; }

  // True when an anti-freeze is registered, the caller is on the main thread
  // and the anti-freeze is Active.
  static bool ShouldUse();
  // Calls Process of the registered anti-freeze when ShouldUse() holds and
  // either OnlyWhenIdle is false or `idle` or `override_idle` is true.
  static void DoProcess(bool idle = true, bool override_idle = false);

  // What keeps the user interface alive, e.g. handling pending messages.
  virtual void Process() = 0;

  // Default: true.
  bool Active() const { return active_; }
  void SetActive(bool active) { active_ = active; }
  // Default: true. Read only by concrete anti-freezes.
  bool ApplicationHasPriority() const { return application_has_priority_; }
  void SetApplicationHasPriority(bool value) { application_has_priority_ = value; }
  // Milliseconds the transport waits at most between calls. Default: 250.
  int32_t IdleTimeOut() const { return idle_time_out_; }
  void SetIdleTimeOut(int32_t ms) { idle_time_out_ = ms; }
  // Default: true.
  bool OnlyWhenIdle() const { return only_when_idle_; }
  void SetOnlyWhenIdle(bool value) { only_when_idle_ = value; }

  // The registered anti-freeze, or null.
  static TNetAntiFreezeBase* Registered();

 private:
  bool active_ = true;
  bool application_has_priority_ = true;
  int32_t idle_time_out_ = 250;
  bool only_when_idle_ = true;
};

}  // namespace meridian::net
