#include "coders/inflate_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "net/exceptions.h"
#include "rtl/streams.h"
#include "support/compressed.h"

namespace meridian::net {
namespace {

using testing::Compress;
using testing::kGzip;
using testing::kRawDeflate;
using testing::kZlib;

// Text that compresses well but not trivially, longer than several buffers.
std::string SampleText(size_t size) {
  std::mt19937 rng(42);
  static const char* kWords[] = {"scripture ", "reader ", "module ", "catalogue ", "version ", "\n"};
  std::string text;
  while (text.size() < size) text += kWords[rng() % 6];
  text.resize(size);
  return text;
}

// Notes the largest write and the bytes, and refuses to take more than
// `limit` bytes.
class RecordingSink : public rtl::TMemoryStream {
 public:
  explicit RecordingSink(int64_t limit = -1, bool keep = true) : limit_(limit), keep_(keep) {}
  int64_t Write(const void* buffer, int64_t count) override {
    largest = std::max(largest, count);
    total += count;
    if (limit_ >= 0 && total > limit_) throw rtl::EWriteError("Stream write error");
    return keep_ ? rtl::TMemoryStream::Write(buffer, count) : count;
  }
  int64_t largest = 0;
  int64_t total = 0;

 private:
  int64_t limit_;
  bool keep_;
};

// Writes `data` in the pieces that `sizes` gives, cycling, then finishes.
std::string Decode(TNetContentCoding coding, const std::string& data, const std::vector<size_t>& sizes) {
  RecordingSink sink;
  TNetInflateStream stage(coding, sink);
  size_t at = 0;
  for (size_t i = 0; at < data.size(); ++i) {
    const size_t size = std::min(sizes[i % sizes.size()], data.size() - at);
    stage.WriteBuffer(data.data() + at, static_cast<int64_t>(size));
    at += size;
  }
  EXPECT_EQ(static_cast<int64_t>(data.size()), stage.Position());
  stage.Finish();
  EXPECT_LE(sink.largest, kInflateBufferSize);
  return sink.DataString();
}

TEST(TNetInflateStream, EveryPiecePatternGivesBackTheInput) {
  ASSERT_TRUE(TNetInflateStream::Available());
  const std::string plain = SampleText(5 * kInflateBufferSize + 123);
  struct Form {
    const char* name;
    testing::CompressedForm form;
    TNetContentCoding coding;
  } forms[] = {{"gzip", kGzip, ccGzip}, {"zlib deflate", kZlib, ccDeflate}, {"raw deflate", kRawDeflate, ccDeflate}};
  // Plain text too (level 0: stored blocks, as large as the input), so that
  // the output side meets the buffer size as well.
  for (int level : {Z_DEFAULT_COMPRESSION, 0}) {
    for (const Form& form : forms) {
      const std::string data = Compress(plain, form.form, level);
      const size_t n = kInflateBufferSize;
      std::vector<std::vector<size_t>> patterns = {{1}, {2}, {n - 1}, {n}, {n + 1}, {data.size()}, {1, n, 3}};
      for (unsigned seed = 1; seed <= 5; ++seed) {
        std::mt19937 rng(seed);
        std::vector<size_t> random;
        for (int i = 0; i < 64; ++i) random.push_back(1 + rng() % (2 * n));
        patterns.push_back(random);
      }
      for (const auto& pattern : patterns) {
        EXPECT_EQ(plain, Decode(form.coding, data, pattern))
            << form.name << " level " << level << " first piece " << pattern.front();
      }
    }
  }
}

TEST(TNetInflateStream, GzipMembersFollowOneAnother) {
  const std::string data = Compress("first member, ", kGzip) + Compress("second member", kGzip);
  EXPECT_EQ("first member, second member", Decode(ccGzip, data, {1}));
  EXPECT_EQ("first member, second member", Decode(ccGzip, data, {data.size()}));
}

TEST(TNetInflateStream, CorruptOrCutBodiesFail) {
  const std::string plain = SampleText(3 * kInflateBufferSize);
  const std::string gzip = Compress(plain, kGzip);
  const std::string zlib = Compress(plain, kZlib);
  std::string flipped = gzip;
  flipped[gzip.size() / 2] = static_cast<char>(flipped[gzip.size() / 2] ^ 0x55);
  std::string bad_check = gzip;
  bad_check[gzip.size() - 6] = static_cast<char>(bad_check[gzip.size() - 6] ^ 1);  // the CRC-32
  struct Case {
    const char* name;
    TNetContentCoding coding;
    std::string data;
  } cases[] = {
      {"not gzip at all", ccGzip, "this is plain text, not gzip"},
      {"gzip with a flipped byte", ccGzip, flipped},
      {"gzip with a wrong check value", ccGzip, bad_check},
      {"gzip cut in the middle", ccGzip, gzip.substr(0, gzip.size() / 2)},
      {"gzip without its trailer", ccGzip, gzip.substr(0, gzip.size() - 4)},
      {"gzip, one byte", ccGzip, gzip.substr(0, 1)},
      {"gzip then garbage", ccGzip, gzip + "garbage"},
      {"deflate cut in the middle", ccDeflate, zlib.substr(0, zlib.size() / 2)},
      {"deflate, one byte", ccDeflate, zlib.substr(0, 1)},
      {"deflate then more bytes", ccDeflate, zlib + "x"},
  };
  for (const Case& c : cases) {
    for (size_t piece : {size_t{1}, c.data.size()}) {
      rtl::TMemoryStream sink;
      TNetInflateStream stage(c.coding, sink);
      EXPECT_THROW(
          {
            stage.WriteBuffer(c.data.data(), 0);
            for (size_t at = 0; at < c.data.size(); at += piece) {
              stage.WriteBuffer(c.data.data() + at, static_cast<int64_t>(std::min(piece, c.data.size() - at)));
            }
            stage.Finish();
          },
          ENetContentDecodingError)
          << c.name << ", pieces of " << piece;
      // After a failure the stage takes nothing more.
      EXPECT_THROW(stage.WriteBuffer("x", 1), ENetContentDecodingError) << c.name;
    }
  }
}

TEST(TNetInflateStream, EmptyBodyIsComplete) {
  rtl::TMemoryStream sink;
  TNetInflateStream stage(ccGzip, sink);
  EXPECT_NO_THROW(stage.Finish());
  EXPECT_EQ(0, sink.Size());
}

TEST(TNetInflateStream, BombIsBoundedByTheSinkNotByMemory) {
  // 256 MiB of zeros shrink to about 256 KiB: a ratio near 1000 to 1.
  const int64_t expanded = 256LL * 1024 * 1024;
  std::string zeros(1024 * 1024, '\0');
  z_stream zs{};
  ASSERT_EQ(Z_OK, deflateInit2(&zs, 9, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY));
  std::string bomb;
  std::string block(64 * 1024, '\0');
  for (int64_t fed = 0; fed < expanded; fed += static_cast<int64_t>(zeros.size())) {
    zs.next_in = reinterpret_cast<Bytef*>(zeros.data());
    zs.avail_in = static_cast<uInt>(zeros.size());
    const int flush = fed + static_cast<int64_t>(zeros.size()) >= expanded ? Z_FINISH : Z_NO_FLUSH;
    do {
      zs.next_out = reinterpret_cast<Bytef*>(block.data());
      zs.avail_out = static_cast<uInt>(block.size());
      deflate(&zs, flush);
      bomb.append(block.data(), block.size() - zs.avail_out);
    } while (zs.avail_out == 0);
  }
  deflateEnd(&zs);
  ASSERT_LT(static_cast<int64_t>(bomb.size()) * 500, expanded);

  // Decoded whole: every write to the sink is one buffer at most, and the
  // stage keeps none of the output itself.
  {
    RecordingSink sink(-1, false);
    TNetInflateStream stage(ccGzip, sink);
    stage.WriteBuffer(bomb.data(), static_cast<int64_t>(bomb.size()));
    stage.Finish();
    EXPECT_EQ(expanded, sink.total);
    EXPECT_EQ(expanded, stage.Produced());
    EXPECT_LE(sink.largest, kInflateBufferSize);
  }
  // A sink with a bound ends the decoding there: one piece of input makes
  // output only as long as the sink takes it.
  {
    const int64_t limit = 10 * kInflateBufferSize;
    RecordingSink sink(limit, false);
    TNetInflateStream stage(ccGzip, sink);
    EXPECT_THROW(stage.WriteBuffer(bomb.data(), static_cast<int64_t>(bomb.size())), rtl::EWriteError);
    EXPECT_LE(sink.total, limit + kInflateBufferSize);
  }
}

TEST(TNetInflateStream, CodingNames) {
  struct Case {
    const char* name;
    bool known;
    TNetContentCoding coding;
  } cases[] = {{"gzip", true, ccGzip},     {"GZIP", true, ccGzip},     {"x-gzip", true, ccGzip},
               {"deflate", true, ccDeflate}, {"Deflate", true, ccDeflate}, {"br", false, ccGzip},
               {"identity", false, ccGzip}, {"gzip ", false, ccGzip},    {"", false, ccGzip}};
  for (const Case& c : cases) {
    TNetContentCoding coding = ccGzip;
    EXPECT_EQ(c.known, ContentCodingFromName(c.name, coding)) << c.name;
    if (c.known) {
      EXPECT_EQ(c.coding, coding) << c.name;
    }
  }
}

}  // namespace
}  // namespace meridian::net
