// Parses arbitrary text as an HTTP date and a zone offset, and formats what it
// gives as well as arbitrary date-time values.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "fuzz_input.h"
#include "http/http_date.h"

using namespace meridian::net;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool zone_set = [] {
    setenv("TZ", "<+09>-9", 1);
    return true;
  }();
  (void)zone_set;

  meridian::fuzz::FuzzInput input(data, size);
  input.PickCodePage();
  double raw = 0;
  if (size >= sizeof raw) std::memcpy(&raw, data, sizeof raw);
  FormatHttpDate(raw, (input.Byte() & 1) != 0);

  const std::string text = input.Rest();
  std::string rest = text;
  const meridian::rtl::TDateTime date = ParseHttpDate(rest);
  if (!std::isfinite(date) || rest.size() > text.size()) abort();
  const double offset = ParseZoneOffset(rest);
  if (std::fabs(offset) >= 1.0) abort();
  HttpDateToLocal(text);
  if (date != 0) FormatHttpDate(date, true);
  return 0;
}
