// The -w text written after each transfer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace meridian::fetch {

// What one transfer leaves for the -w text.
struct TTransferFacts {
  int32_t http_code = 0;      // 0 when no response came
  int64_t size_download = 0;  // body bytes written
  std::string url_effective;  // the URL of the last request made
  double time_total = 0;      // seconds from the start of the transfer
};

// Expands `format`: "%{http_code}" (three digits, "000" without a response),
// "%{size_download}", "%{url_effective}", "%{time_total}" (seconds with six
// decimals), "%%" as "%", "\n", "\r" and "\t" as those characters. Anything
// else, an unknown variable included, stays as it is.
std::string ExpandWriteOut(std::string_view format, const TTransferFacts& facts);

}  // namespace meridian::fetch
