#include "transport/net_component.h"

#include <memory>
#include <mutex>

#include "transport/net_stack.h"

namespace meridian::net {

namespace {

// The stack lock guards the count of live components and the creation and
// destruction of GStack; nothing else.
std::mutex& StackLock() {
  static std::mutex lock;
  return lock;
}

int32_t g_component_count = 0;
// Owns what GStack points to.
std::unique_ptr<TNetStack>& StackOwner() {
  static std::unique_ptr<TNetStack> owner;
  return owner;
}

const std::string kStatusTexts[] = {
    "Resolving hostname %s.", "Connecting to %s.", "Connected.", "Disconnecting.", "Disconnected.",
    "%s",                     "%s",                "%s",         "%s",
};

// Fills each "%s" of `format` with the next argument, an empty text once the
// arguments run out. Arguments are inserted as they are.
std::string FillStatusText(const std::string& format, const std::vector<std::string>& args) {
  std::string text;
  size_t next_arg = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
      if (next_arg < args.size()) text += args[next_arg++];
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

}  // namespace

const std::string& NetStatusText(TNetStatus status) { return kStatusTexts[status]; }

int32_t NetComponentCount() {
  std::lock_guard<std::mutex> guard(StackLock());
  return g_component_count;
}

TNetComponent::TNetComponent(rtl::TComponent* owner) : TNetBaseComponent(owner) {
  std::lock_guard<std::mutex> guard(StackLock());
  if (g_component_count == 0) {
    // Made before counting: a stack that fails to start leaves no component
    // counted and no stack behind.
    StackOwner() = TNetStack::CreateStack();
    GStack = StackOwner().get();
  }
  ++g_component_count;
}

TNetComponent::~TNetComponent() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (--g_component_count == 0) {
    GStack = nullptr;
    StackOwner().reset();
  }
}

void TNetComponent::BeginWork(TWorkMode mode, int64_t size) {
  TWorkInfo& info = work_info_[mode];
  if (++info.Level == 1) {
    info.Max = size;
    info.Current = 0;
    if (OnWorkBegin) OnWorkBegin(this, mode, size);
  }
}

void TNetComponent::DoWork(TWorkMode mode, int64_t count) {
  TWorkInfo& info = work_info_[mode];
  if (info.Level > 0) {
    info.Current += count;
    if (OnWork) OnWork(this, mode, info.Current);
  }
}

void TNetComponent::EndWork(TWorkMode mode) {
  TWorkInfo& info = work_info_[mode];
  if (info.Level <= 0) return;
  // The level drops even when the handler throws, so frames stay balanced.
  struct LevelDrop {
    TWorkInfo& info;
    ~LevelDrop() { --info.Level; }
  } drop{info};
  if (info.Level == 1 && OnWorkEnd) OnWorkEnd(this, mode);
}

void TNetComponent::DoStatus(TNetStatus status, const std::vector<std::string>& args) {
  if (!OnStatus) return;
  OnStatus(this, status, FillStatusText(NetStatusText(status), args));
}

}  // namespace meridian::net
