// Expansion of the -w text.
#include "write_out.h"

#include "rtl/text.h"

namespace meridian::fetch {

std::string ExpandWriteOut(std::string_view format, const TTransferFacts& facts) {
  std::string out;
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '\\' && i + 1 < format.size()) {
      const char next = format[i + 1];
      const char escaped = next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : '\0';
      if (escaped != '\0') {
        out += escaped;
        i += 2;
        continue;
      }
    }
    if (c == '%' && i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    if (c == '%' && i + 1 < format.size() && format[i + 1] == '{') {
      const size_t close = format.find('}', i + 2);
      if (close != std::string_view::npos) {
        const std::string_view name = format.substr(i + 2, close - i - 2);
        bool known = true;
        if (name == "http_code") {
          out += rtl::Format("%03d", facts.http_code < 0 || facts.http_code > 999 ? 0 : facts.http_code);
        } else if (name == "size_download") {
          out += std::to_string(facts.size_download);
        } else if (name == "url_effective") {
          out += facts.url_effective;
        } else if (name == "time_total") {
          out += rtl::Format("%.6f", facts.time_total);
        } else {
          known = false;
        }
        if (known) {
          i = close + 1;
          continue;
        }
      }
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace meridian::fetch
