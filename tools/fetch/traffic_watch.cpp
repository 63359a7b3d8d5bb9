// Request-head logging for meridian-fetch.
#include "traffic_watch.h"

#include <string>

namespace meridian::fetch {

namespace {

// A block that starts with a request line: a method word in capitals, a blank
// and a first line ending in an HTTP version.
bool IsRequestHead(const std::string& bytes) {
  const size_t line_end = bytes.find("\r\n");
  if (line_end == std::string::npos) return false;
  const size_t blank = bytes.find(' ');
  if (blank == 0 || blank > line_end) return false;
  for (size_t i = 0; i < blank; ++i) {
    if (bytes[i] < 'A' || bytes[i] > 'Z') return false;
  }
  return line_end >= 9 && bytes.compare(line_end - 9, 7, " HTTP/1") == 0;
}

}  // namespace

void TFetchTrafficWatch::Send(rtl::TStream& block) {
  const int64_t size = block.Size();
  std::string bytes(static_cast<size_t>(size), '\0');
  const int64_t start = block.Position();
  block.ReadBuffer(bytes.data(), size);
  block.SetPosition(start);
  if (!IsRequestHead(bytes)) return;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos || end == at) break;
    *verbose_out_ << "> " << bytes.substr(at, end - at) << '\n';
    at = end + 2;
  }
  *verbose_out_ << ">\n";
}

}  // namespace meridian::fetch
