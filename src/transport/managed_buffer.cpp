#include "transport/managed_buffer.h"

#include <algorithm>

namespace meridian::net {

void TNetManagedBuffer::Remove(int64_t count) {
  ThrowIfShort(count);
  if (count <= 0) return;
  if (count == Size()) {
    Clear();
  } else {
    begin_ += count;
    position_ = std::max<int64_t>(0, position_ - count);
    if (begin_ >= pack_threshold_) Pack();
  }
  NotifyRemoved(count);
}

}  // namespace meridian::net
