#include "http/body_decoder.h"

#include <string>

#include "net/exceptions.h"
#include "rtl/string_list.h"
#include "rtl/text.h"

namespace meridian::net {

TNetBodyDecoder::TNetBodyDecoder(const TNetHeaderList& headers, rtl::TStream& sink) : sink_(sink) {
  rtl::TStringList values;
  headers.CollectValues("Content-Encoding", &values);
  for (const std::string& line : values.Lines()) {
    std::string rest = line;
    while (!rest.empty()) {
      const std::string name = rtl::Trim(rtl::Fetch(rest, ","));
      if (name.empty() || rtl::SameText(name, "identity")) continue;
      TNetContentCoding coding = ccGzip;
      if (!ContentCodingFromName(name, coding)) {
        throw ENetContentDecodingError("Unrecognized content encoding type: " + name);
      }
      if (static_cast<int32_t>(stages_.size()) >= kMaxContentCodings) {
        throw ENetContentDecodingError("Too many content codings");
      }
      rtl::TStream& next = stages_.empty() ? sink_ : *stages_.back();
      stages_.push_back(std::make_unique<TNetInflateStream>(coding, next));
    }
  }
}

TNetBodyDecoder::~TNetBodyDecoder() = default;

void TNetBodyDecoder::Finish() {
  // The stage nearest the wire first: its end may still give the inner ones
  // their last bytes.
  for (auto stage = stages_.rbegin(); stage != stages_.rend(); ++stage) (*stage)->Finish();
}

}  // namespace meridian::net
