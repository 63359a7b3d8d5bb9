#include "coders/encoder.h"

#include <gtest/gtest.h>

#include "net/exceptions.h"

namespace meridian::net {
namespace {

TEST(TNetEncoderMIME, EncodesTheRfc4648Vectors) {
  // RFC 4648 section 10.
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  const TNetEncoderMIME encoder;
  for (const auto& c : cases) {
    EXPECT_EQ(c.out, encoder.EncodeText(c.in)) << c.in;
    EXPECT_EQ(c.out, TNetEncoder::EncodeText<TNetEncoderMIME>(c.in)) << c.in;
  }
}

TEST(TNetEncoderMIME, UsesTheWholeAlphabetAndEveryByteValue) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string encoded = TNetEncoder::EncodeText<TNetEncoderMIME>(all);
  EXPECT_EQ(344u, encoded.size());
  EXPECT_EQ("AAECAwQFBgcI", encoded.substr(0, 12));
  EXPECT_EQ("+/w==", encoded.substr(339));
  EXPECT_EQ(std::string::npos, encoded.find_first_not_of(std::string(kBase64CodingTable) + "="));
}

TEST(TNetEncoderMIME, NeverBreaksLines) {
  const std::string encoded = TNetEncoder::EncodeText<TNetEncoderMIME>(std::string(60, 'x'));
  EXPECT_EQ(80u, encoded.size());
  EXPECT_EQ(std::string::npos, encoded.find_first_of("\r\n"));
}

TEST(TNetEncoderMIME, EncodeHonoursTheByteCountFromThePosition) {
  const TNetEncoderMIME encoder;
  rtl::TMemoryStream stream("xxfoobar");
  stream.SetPosition(2);
  EXPECT_EQ("Zm9v", encoder.Encode(stream, 3));
  EXPECT_EQ(5, stream.Position());
  // A count beyond the rest of the stream encodes what is there.
  EXPECT_EQ("YmFy", encoder.Encode(stream, 6));
  EXPECT_EQ("", encoder.Encode(stream, 3));
  stream.SetPosition(4);
  EXPECT_EQ("b2Jhcg==", encoder.Encode(stream, 6));  // 4 bytes left
  stream.SetPosition(0);
  EXPECT_EQ("", encoder.Encode(stream, 0));
  EXPECT_EQ("", encoder.Encode(stream, -3));
  EXPECT_EQ(0, stream.Position());
}

TEST(TNetEncoderMIME, UnevenCountFailsBeforeReading) {
  const TNetEncoderMIME encoder;
  rtl::TMemoryStream stream("foobar");
  for (int32_t count : {1, 2, 4, 5, 2147483645}) {
    try {
      encoder.Encode(stream, count);
      ADD_FAILURE() << count;
    } catch (const ENetException& e) {
      EXPECT_EQ("Uneven size in Encode.", e.Message());
    }
    EXPECT_EQ(0, stream.Position());
  }
}

TEST(TNetEncoderMIME, FillCharAndTableAreItsOwn) {
  TNetEncoderMIME encoder;
  EXPECT_EQ(kBase64CodingTable, encoder.CodingTable());
  EXPECT_EQ('=', encoder.FillChar());
  encoder.SetFillChar('*');
  EXPECT_EQ("Zg**", encoder.EncodeText("f"));
  EXPECT_EQ("TNetEncoderMIME", encoder.ClassName());
}

TEST(TNetEncoderMIME, OwnerDestroysIt) {
  auto owner = std::make_unique<rtl::TComponent>();
  auto* encoder = new TNetEncoderMIME(owner.get());
  EXPECT_EQ(1u, owner->ComponentCount());
  EXPECT_EQ(encoder, owner->Components(0));
  owner.reset();  // the sanitizer reports a leak if the encoder survives
}

}  // namespace
}  // namespace meridian::net
