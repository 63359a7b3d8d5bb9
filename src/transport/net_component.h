// The base of every network component: status and work notifications, and
// the count of live components that keeps the process's socket stack alive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rtl/component.h"

namespace meridian::net {

// Base of all network components; adds nothing to the library component.
class TNetBaseComponent : public rtl::TComponent {
 public:
  using rtl::TComponent::TComponent;
  std::string ClassName() const override { return "TNetBaseComponent"; }
};

enum TNetStatus : uint8_t {
  hsResolving,      // "Resolving hostname %s."
  hsConnecting,     // "Connecting to %s."
  hsConnected,      // "Connected."
  hsDisconnecting,  // "Disconnecting."
  hsDisconnected,   // "Disconnected."
  hsStatusText,     // "%s"
  ftpTransfer,      // "%s"
  ftpReady,         // "%s"
  ftpAborted,       // "%s"
};

enum TWorkMode : uint8_t { wmRead, wmWrite };

// The format text of a status (the table above).
const std::string& NetStatusText(TNetStatus status);

// Work counts are 64-bit so that transfers past 2 GiB keep counting.
using TNetStatusEvent = std::function<void(rtl::TComponent* sender, TNetStatus status, const std::string& status_text)>;
using TWorkBeginEvent = std::function<void(rtl::TComponent* sender, TWorkMode work_mode, int64_t work_count_max)>;
// `work_count` is the running total since the outermost BeginWork.
using TWorkEvent = std::function<void(rtl::TComponent* sender, TWorkMode work_mode, int64_t work_count)>;
using TWorkEndEvent = std::function<void(rtl::TComponent* sender, TWorkMode work_mode)>;

// Progress of one work mode: bytes so far, announced total, nesting depth.
struct TWorkInfo {
  int64_t Current = 0;
  int64_t Max = 0;
  int32_t Level = 0;
};

// A network component. While at least one exists, GStack exists: the first
// one created makes it, the last one destroyed frees it (under the process's
// stack lock, so components may be made and freed on any thread). Events run
// on the thread doing the work; a handler's exception reaches the caller.
class TNetComponent : public TNetBaseComponent {
 public:
  // Throws ENetStackInitializationFailed when the first component cannot
  // start the socket stack (the component is then not created).
  explicit TNetComponent(rtl::TComponent* owner = nullptr);
  ~TNetComponent() override;
  std::string ClassName() const override { return "TNetComponent"; }

  TNetStatusEvent OnStatus;
  TWorkEvent OnWork;
  TWorkBeginEvent OnWorkBegin;
  TWorkEndEvent OnWorkEnd;

  // Opens a frame of `mode`. Only the outermost frame resets the counters
  // (Max := size, Current := 0) and calls OnWorkBegin.
  virtual void BeginWork(TWorkMode mode, int64_t size = 0);
  // Adds `count` to Current and reports the total through OnWork; does
  // nothing outside a frame of `mode`.
  virtual void DoWork(TWorkMode mode, int64_t count);
  // Closes a frame; the outermost one calls OnWorkEnd. An EndWork without an
  // open frame does nothing.
  virtual void EndWork(TWorkMode mode);

  const TWorkInfo& WorkInfo(TWorkMode mode) const { return work_info_[mode]; }

  // Calls OnStatus with the status's text, each "%s" filled by the next of
  // `args` (an empty text when they run out). Formats nothing when OnStatus
  // is not set.
  void DoStatus(TNetStatus status, const std::vector<std::string>& args = {});

 private:
  TWorkInfo work_info_[2];
};

// The number of live network components (for tests and diagnostics).
int32_t NetComponentCount();

}  // namespace meridian::net
