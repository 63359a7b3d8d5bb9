#include "coders/inflate_stream.h"

#include <algorithm>

#include "rtl/text.h"

namespace meridian::net {

bool ContentCodingFromName(std::string_view name, TNetContentCoding& coding) {
  const std::string text(name);
  // "x-gzip" is the older name that servers still send (RFC 9110, 8.4.1.3).
  if (rtl::SameText(text, "gzip") || rtl::SameText(text, "x-gzip")) {
    coding = ccGzip;
    return true;
  }
  if (rtl::SameText(text, "deflate")) {
    coding = ccDeflate;
    return true;
  }
  return false;
}

int64_t TNetInflateStream::Seek(int64_t offset, rtl::TSeekOrigin origin) {
  // Only positions are kept: a reader that sizes its destination ahead and
  // moves back to where it was (the connection's ReadStream) finds them again.
  position_ = (origin == rtl::soBeginning ? 0 : origin == rtl::soCurrent ? position_ : size_) + offset;
  size_ = std::max(size_, position_);
  return position_;
}

}  // namespace meridian::net
