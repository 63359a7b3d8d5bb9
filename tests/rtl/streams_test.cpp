#include "rtl/streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "rtl/exceptions.h"

namespace meridian::rtl {
namespace {

TEST(TMemoryStream, ReadWriteSeekAndSize) {
  TMemoryStream m;
  m.WriteBuffer("hello world");
  EXPECT_EQ(11, m.Size());
  EXPECT_EQ(11, m.Position());
  m.SetPosition(6);
  char buf[16] = {};
  EXPECT_EQ(5, m.Read(buf, sizeof buf));
  EXPECT_EQ(std::string("world"), buf);
  EXPECT_EQ(0, m.Read(buf, 1));
  m.Seek(-5, soEnd);
  m.WriteBuffer("there!");
  EXPECT_EQ("hello there!", m.DataString());
  EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);
  m.SetSize(5);
  EXPECT_EQ(5, m.Position());
  EXPECT_EQ("hello", m.DataString());
}

TEST(TMemoryStream, CopyFromWholeSourceWhenCountIsZero) {
  TMemoryStream source("abcdef");
  source.SetPosition(4);
  TMemoryStream dest;
  EXPECT_EQ(6, dest.CopyFrom(source, 0));
  EXPECT_EQ("abcdef", dest.DataString());
  source.SetPosition(2);
  EXPECT_THROW(dest.CopyFrom(source, 5), EReadError);
}

TEST(TNullStream, CountsWhatIsWrittenAndKeepsNothing) {
  TNullStream sink;
  sink.WriteBuffer(std::string(100000, 'x'));
  EXPECT_EQ(100000, sink.Size());
  EXPECT_EQ(100000, sink.Position());
  char c;
  EXPECT_EQ(0, sink.Read(&c, 1));
  sink.SetSize(10);  // cutting back also pulls the position in
  EXPECT_EQ(10, sink.Position());
  EXPECT_EQ(0, sink.Seek(-50, soCurrent));
}

TEST(TFileStream, CreatesReadsAndReportsMissingFiles) {
  const std::string path = (std::filesystem::temp_directory_path() / ("meridian_stream_test_" + std::to_string(std::random_device{}()) + ".bin")).string();
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("line1\nline2");
  }
  EXPECT_TRUE(FileExists(path));
  {
    TFileStream f(path, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(11, f.Size());
    std::string text(11, '\0');
    f.ReadBuffer(text.data(), 11);
    EXPECT_EQ("line1\nline2", text);
  }
  std::remove(path.c_str());
  EXPECT_FALSE(FileExists(path));
  try {
    TFileStream f(path, fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ("Cannot open file \"" + path + "\". No such file or directory", e.Message());
  }
}

// Files of every size around the read block come back whole; a missing file
// is false and leaves nothing of an earlier content.
TEST(ReadFileToString, ReadsWholeFilesAndRefusesMissingOnes) {
  const std::string path = (std::filesystem::temp_directory_path() / ("meridian_whole_" + std::to_string(std::random_device{}()) + ".bin")).string();
  std::mt19937 random(7);
  std::string content;
  for (const size_t size : {size_t{0}, size_t{1}, size_t{16383}, size_t{16384}, size_t{16385}, size_t{100000}}) {
    std::string written(size, '\0');
    for (char& c : written) c = static_cast<char>(random());
    {
      TFileStream f(path, fmCreate);
      f.WriteBuffer(written.data(), static_cast<int64_t>(written.size()));
    }
    EXPECT_TRUE(ReadFileToString(path, content)) << size;
    EXPECT_EQ(written, content) << size;
  }
  std::remove(path.c_str());
  EXPECT_FALSE(ReadFileToString(path, content));
  EXPECT_EQ("", content);
}

// Reads and writes may follow each other in any order on one stream, and the
// size may be cut or grown in between.
TEST(TFileStream, MixesReadsWritesSeeksAndSizes) {
  const std::string path = (std::filesystem::temp_directory_path() / ("meridian_stream_mix_" + std::to_string(std::random_device{}()) + ".bin")).string();
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("abcdef");
    EXPECT_EQ(0, f.Seek(0, soBeginning));
    char c = 0;
    f.ReadBuffer(&c, 1);
    EXPECT_EQ('a', c);
    f.WriteBuffer("X");  // right behind what was read
    f.ReadBuffer(&c, 1);
    EXPECT_EQ('c', c);
    EXPECT_EQ(6, f.Seek(0, soEnd));
    f.SetSize(4);
    EXPECT_EQ(4, f.Size());
    EXPECT_EQ(2, f.Seek(-2, soEnd));
    f.WriteBuffer("YZW");
    EXPECT_EQ(5, f.Size());
  }
  TFileStream f(path, fmOpenRead);
  std::string text(5, '\0');
  f.ReadBuffer(text.data(), 5);
  EXPECT_EQ("aXYZW", text);
  EXPECT_EQ(0, f.Read(text.data(), 1));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace meridian::rtl
