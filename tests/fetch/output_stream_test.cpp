#include "output_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace meridian::fetch {
namespace {

// Sizes around the stream's buffer and half of it, where a piece changes from
// being collected to being written through.
std::vector<size_t> PieceSizes() {
  std::vector<size_t> sizes;
  for (size_t kib : {1, 4, 16, 64, 128, 256}) {
    for (size_t size : {kib * 1024 - 1, kib * 1024, kib * 1024 + 1}) sizes.push_back(size);
  }
  return sizes;
}

std::string Pattern(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// Whatever the sizes of the pieces, and whether they are body or head text,
// the bytes leave in the order they came.
TEST(TFetchOutputStream, KeepsBytesInOrderWhateverThePieceSizes) {
  const auto path = std::filesystem::temp_directory_path() / "output_stream_test_order";
  const std::vector<size_t> sizes = PieceSizes();
  std::mt19937 random(7);
  struct Case {
    const char* name;
    std::vector<size_t> pieces;
  };
  std::vector<Case> patterns;
  for (size_t size : sizes) {
    patterns.push_back({"small then one of a size", {100, size, 100}});
    patterns.push_back({"two of a size", {size, size}});
  }
  std::vector<size_t> mixed;
  for (int i = 0; i < 40; ++i) mixed.push_back(random() % 3 == 0 ? random() % 97 + 1 : sizes[random() % sizes.size()]);
  patterns.push_back({"mixed", mixed});

  for (const Case& pattern : patterns) {
    std::string expected;
    {
      TFetchOutputStream out(path.string());
      uint32_t seed = 1;
      for (size_t piece : pattern.pieces) {
        const std::string bytes = Pattern(piece, seed++);
        if (seed % 4 == 0) {
          out.WriteText(bytes);
        } else {
          out.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        }
        expected += bytes;
      }
      out.Flush();
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream got;
    got << in.rdbuf();
    ASSERT_EQ(expected.size(), got.str().size()) << pattern.name << " " << pattern.pieces[1];
    EXPECT_TRUE(expected == got.str()) << pattern.name << " " << pattern.pieces[1];
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace meridian::fetch
