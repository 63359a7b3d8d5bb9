// Decodes arbitrary text as base64 and checks the size of what comes out, then
// encodes the input's bytes and checks that they decode back unchanged.
#include <cstdlib>

#include "coders/decoder.h"
#include "coders/encoder.h"
#include "net/exceptions.h"

using meridian::net::ENetException;
using meridian::net::TNetDecoder4to3;
using meridian::net::TNetEncoder;
using meridian::net::TNetEncoderMIME;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TNetDecoder4to3 decoder;

  meridian::rtl::TMemoryStream decoded;
  try {
    decoder.DecodeToStream(text, decoded);
    if (size % 4 != 0) abort();
    // Every group gives one to three bytes.
    if (decoded.Size() > static_cast<int64_t>(size / 4 * 3) || decoded.Size() < static_cast<int64_t>(size / 4)) {
      abort();
    }
  } catch (const ENetException&) {
    if (size % 4 == 0 || decoded.Size() != 0) abort();
  }

  const std::string encoded = TNetEncoder::EncodeText<TNetEncoderMIME>(text);
  if (encoded.size() != (size + 2) / 3 * 4) abort();
  meridian::rtl::TMemoryStream round_trip;
  decoder.DecodeToStream(encoded, round_trip);
  if (round_trip.DataString() != text) abort();
  return 0;
}
