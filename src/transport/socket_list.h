// A fixed-size set of socket handles, the unit WSSelect waits on.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "transport/net_stack.h"

namespace meridian::net {

// At most kMaxSockets handles, kept in insertion order (Remove moves the
// last handle into the freed place).
class TNetSocketList {
 public:
  static constexpr int32_t kMaxSockets = 64;

  // A list of the platform's class.
  static std::unique_ptr<TNetSocketList> CreateSocketList();

  TNetSocketList() = default;
  TNetSocketList(const TNetSocketList&) = delete;
  TNetSocketList& operator=(const TNetSocketList&) = delete;
  virtual ~TNetSocketList() = default;

  // The handle at a 0-based index. Throws ENetStackSetSizeExceeded "Set
  // Size Exceeded." for an index outside 0 to Count() - 1.
  virtual TNetStackSocketHandle Items(int32_t index) const = 0;
  // Appends a handle. Throws ENetStackSetSizeExceeded when kMaxSockets
  // handles are already held.
  virtual void Add(TNetStackSocketHandle handle) = 0;
  // Removes the first equal handle; an absent one changes nothing.
  virtual void Remove(TNetStackSocketHandle handle) = 0;
  virtual int32_t Count() const = 0;
  // Removes every handle.
  virtual void Clear() = 0;
};

// The list as a count and an array of kMaxSockets handles.
class TNetSocketListPosix : public TNetSocketList {
 public:
  TNetStackSocketHandle Items(int32_t index) const override;
  void Add(TNetStackSocketHandle handle) override;
  void Remove(TNetStackSocketHandle handle) override;
  int32_t Count() const override { return count_; }
  void Clear() override;

 private:
  int32_t count_ = 0;
  std::array<TNetStackSocketHandle, kMaxSockets> handles_{};
};

}  // namespace meridian::net
