#include "coders/decoder.h"

#include <gtest/gtest.h>

#include "coders/encoder.h"
#include "net/exceptions.h"

namespace meridian::net {
namespace {

std::string Decode(std::string_view text) {
  const TNetDecoder4to3 decoder;
  rtl::TMemoryStream out;
  decoder.DecodeToStream(text, out);
  return out.DataString();
}

TEST(TNetDecoder4to3, DecodesTheRfc4648Vectors) {
  // RFC 4648 section 10.
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"Zg==", "f"},
      {"Zm8=", "fo"},
      {"Zm9v", "foo"},
      {"Zm9vYg==", "foob"},
      {"Zm9vYmE=", "fooba"},
      {"Zm9vYmFy", "foobar"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, Decode(c.in)) << c.in;
}

TEST(TNetDecoder4to3, RoundTripsEveryByteValue) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  for (size_t n = 0; n <= all.size(); n += 37) {
    const std::string part = all.substr(0, n);
    EXPECT_EQ(part, Decode(TNetEncoder::EncodeText<TNetEncoderMIME>(part))) << n;
  }
}

TEST(TNetDecoder4to3, UnevenLengthFailsWithoutWriting) {
  const TNetDecoder4to3 decoder;
  for (const char* text : {"Z", "Zm9", "Zm9vY", "Zm9v\r\n"}) {
    rtl::TMemoryStream out;
    try {
      decoder.DecodeToStream(text, out);
      ADD_FAILURE() << text;
    } catch (const ENetException& e) {
      EXPECT_EQ("Uneven size in DecodeToStream.", e.Message());
    }
    EXPECT_EQ(0, out.Size());
  }
}

TEST(TNetDecoder4to3, StrayCharactersCorruptOnlyTheirGroup) {
  // 255 spills into the neighbouring bits; the count of bytes is still set by
  // the fill characters alone.
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      // "Z!==": Z is 25, "!" 255 -> 25<<18 | 255<<12 -> first byte 0x64 | 0x0F.
      {"Z!==", std::string("\x6F")},
      {"Zm9v!!!!Zm9v", std::string("foo\xFF\xFF\xFF" "foo", 9)},
      // A blank inside a group.
      {"Zm 9", std::string("\x66\x7F\xFD", 3)},
      // Padding in the middle of the text ends only its own group.
      {"Zg==Zg==", "ff"},
      // Codes above 127 and 0 have no table entry.
      {std::string("\x80\x80\x80\x80", 4), std::string("\xFF\xFF\xFF", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, Decode(c.in)) << c.in;
  EXPECT_EQ(std::string("\xFF\xFF\xFF", 3), Decode(std::string("\0\0\0\0", 4)));
}

TEST(TNetDecoder4to3, WritesAtTheStreamPosition) {
  const TNetDecoder4to3 decoder;
  rtl::TMemoryStream out("12345");
  out.SetPosition(1);
  decoder.DecodeToStream("Zm9v", out);
  EXPECT_EQ("1foo5", out.DataString());
  EXPECT_EQ(4, out.Position());
}

TEST(TNetDecoder4to3, FollowsItsTableAndFillChar) {
  constexpr TNetDecodeTable table = TNetDecoder4to3::ConstructDecodeTable("AB");
  static_assert(table['A'] == 0 && table['B'] == 1 && table['C'] == 255 && table[0] == 255);

  TNetDecoder4to3 decoder;
  decoder.SetFillChar('*');
  rtl::TMemoryStream out;
  decoder.DecodeToStream("Zg**Zm8*", out);
  EXPECT_EQ("ffo", out.DataString());

  // The URL-safe alphabet of RFC 4648 section 5.
  decoder.SetCodingTable("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_");
  rtl::TMemoryStream safe;
  decoder.DecodeToStream("-_-_", safe);
  EXPECT_EQ(std::string("\xFB\xFF\xBF", 3), safe.DataString());
}

}  // namespace
}  // namespace meridian::net
