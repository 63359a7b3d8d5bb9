#include "transport/anti_freeze.h"

#include <atomic>
#include <thread>

namespace meridian::net {

namespace {

std::atomic<TNetAntiFreezeBase*> g_anti_freeze{nullptr};

// The thread that runs static initialisation is the process's main thread.
const std::thread::id kMainThread = std::this_thread::get_id();

}  // namespace

TNetAntiFreezeBase::TNetAntiFreezeBase(rtl::TComponent* owner) : TNetBaseComponent(owner) {
  g_anti_freeze.store(this);
}

TNetAntiFreezeBase::~TNetAntiFreezeBase() {
  // Only the registered one clears the registration: a replaced anti-freeze
  // dying later must not unregister its successor.
  TNetAntiFreezeBase* self = this;
  g_anti_freeze.compare_exchange_strong(self, nullptr);
}

TNetAntiFreezeBase* TNetAntiFreezeBase::Registered() { return g_anti_freeze.load(); }

bool TNetAntiFreezeBase::ShouldUse() {
  TNetAntiFreezeBase* anti_freeze = g_anti_freeze.load();
  return anti_freeze != nullptr && std::this_thread::get_id() == kMainThread && anti_freeze->Active();
}

void TNetAntiFreezeBase::DoProcess(bool idle, bool override_idle) {
  if (!ShouldUse()) return;
  TNetAntiFreezeBase* anti_freeze = g_anti_freeze.load();
  if (anti_freeze == nullptr || !anti_freeze->Active()) return;
  if (!anti_freeze->OnlyWhenIdle() || idle || override_idle) anti_freeze->Process();
}

}  // namespace meridian::net
