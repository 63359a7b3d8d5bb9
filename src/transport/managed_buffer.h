// The input buffer of a TCP connection: consuming from the front costs no
// copying until enough consumed bytes have piled up.
#pragma once

#include <cstdint>

#include "transport/simple_buffer.h"

namespace meridian::net {

// A TNetSimpleBuffer that removes from the front lazily. Removed bytes stay in
// memory ahead of the content (its memory, size and positions are those of the
// unconsumed part) until PackThreshold of them have piled up; then the rest is
// moved to the front in one copy. Reading many short lines from a large block
// thus copies nothing per line.
class TNetManagedBuffer : public TNetSimpleBuffer {
 public:
  using TNetSimpleBuffer::TNetSimpleBuffer;

  void Remove(int64_t count) override;

  // Consumed bytes that trigger packing. Default: 32768.
  int64_t PackThreshold() const { return pack_threshold_; }
  void SetPackThreshold(int64_t threshold) { pack_threshold_ = threshold; }
  // Consumed bytes still held in front of the content.
  int64_t ReadOffset() const { return begin_; }

 private:
  int64_t pack_threshold_ = 32768;
};

}  // namespace meridian::net
