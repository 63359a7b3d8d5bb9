#include "transport/socket_list.h"

#include "net/exceptions.h"

namespace meridian::net {

TNetStackSocketHandle TNetSocketListPosix::Items(int32_t index) const {
  if (index < 0 || index >= count_) throw ENetStackSetSizeExceeded();
  return handles_[static_cast<size_t>(index)];
}

void TNetSocketListPosix::Add(TNetStackSocketHandle handle) {
  if (count_ >= kMaxSockets) throw ENetStackSetSizeExceeded();
  handles_[static_cast<size_t>(count_++)] = handle;
}

void TNetSocketListPosix::Remove(TNetStackSocketHandle handle) {
  for (int32_t i = 0; i < count_; ++i) {
    if (handles_[static_cast<size_t>(i)] == handle) {
      // Order is not kept: the last handle fills the gap.
      handles_[static_cast<size_t>(i)] = handles_[static_cast<size_t>(count_ - 1)];
      handles_[static_cast<size_t>(count_ - 1)] = 0;
      --count_;
      return;
    }
  }
}

void TNetSocketListPosix::Clear() {
  handles_.fill(0);
  count_ = 0;
}

}  // namespace meridian::net
