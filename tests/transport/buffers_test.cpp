#include "transport/managed_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/exceptions.h"

namespace meridian::net {
namespace {

std::string Content(TNetSimpleBuffer& buffer) { return std::string(buffer.Memory(), static_cast<size_t>(buffer.Size())); }

TEST(TNetSimpleBuffer, ExtractAndRemoveTakeFromTheFrontAndReportTheCount) {
  std::vector<int64_t> removed;
  TNetSimpleBuffer buffer([&](TNetSimpleBuffer&, int64_t count) { removed.push_back(count); });
  buffer.Append("abcdef", 6);
  EXPECT_EQ("ab", buffer.Extract(2));
  EXPECT_EQ("cdef", Content(buffer));
  buffer.Remove(1);
  EXPECT_EQ("def", Content(buffer));
  EXPECT_EQ("def", buffer.Extract(3));
  EXPECT_EQ(0, buffer.Size());
  EXPECT_EQ((std::vector<int64_t>{2, 1, 3}), removed);

  buffer.Append("xy", 2);
  buffer.Clear();  // emptying is no removal
  EXPECT_EQ(3u, removed.size());
}

TEST(TNetSimpleBuffer, TakingMoreThanHeldRaisesAndKeepsTheBytes) {
  for (const bool managed : {false, true}) {
    int calls = 0;
    auto on_removed = [&](TNetSimpleBuffer&, int64_t) { ++calls; };
    TNetManagedBuffer managed_buffer(on_removed);
    TNetSimpleBuffer simple_buffer(on_removed);
    TNetSimpleBuffer& buffer = managed ? managed_buffer : simple_buffer;
    buffer.Append("abc", 3);
    try {
      buffer.Extract(4);
      ADD_FAILURE() << "no exception";
    } catch (const ENetNotEnoughDataInBuffer& e) {
      EXPECT_STREQ("Not enough data in buffer.", e.what());
    }
    EXPECT_THROW(buffer.Remove(4), ENetNotEnoughDataInBuffer);
    EXPECT_EQ("abc", Content(buffer));
    EXPECT_EQ(0, calls);
  }
}

TEST(TNetSimpleBuffer, StreamOperationsWorkOnTheContent) {
  TNetSimpleBuffer buffer;
  buffer.WriteBuffer("hello world");
  buffer.Remove(6);
  buffer.SetPosition(0);
  char read[5] = {};
  EXPECT_EQ(5, buffer.Read(read, 10));
  EXPECT_EQ("world", std::string(read, 5));
  buffer.SetSize(7);  // growth is zero-filled
  EXPECT_EQ(std::string("world\0\0", 7), Content(buffer));
  EXPECT_EQ(5, buffer.Position());
  buffer.SetSize(2);
  EXPECT_EQ(2, buffer.Position());
}

TEST(TNetManagedBuffer, RemovesLazilyAndPacksAtTheThreshold) {
  TNetManagedBuffer buffer;
  buffer.SetPackThreshold(10);
  buffer.Append("0123456789abcdefghij", 20);
  const char* start = buffer.Memory();

  buffer.Remove(4);  // consumed bytes stay in place
  EXPECT_EQ(4, buffer.ReadOffset());
  EXPECT_EQ(start + 4, buffer.Memory());
  EXPECT_EQ("456789", buffer.Extract(6));  // offset reaches 10: packed
  EXPECT_EQ(0, buffer.ReadOffset());
  EXPECT_EQ("abcdefghij", Content(buffer));

  buffer.Remove(3);
  buffer.SetPosition(0);
  char first = 0;
  buffer.Read(&first, 1);  // positions count from the unconsumed part
  EXPECT_EQ('d', first);
  buffer.Remove(buffer.Size());  // emptying resets the offset
  EXPECT_EQ(0, buffer.ReadOffset());
  EXPECT_EQ(0, buffer.Size());
}

TEST(TNetManagedBuffer, KeepsContentIntactAcrossAppendsRemovesAndGrowth) {
  // Interleaves appends and removals of odd sizes against a plain string model
  // so every combination of offset, packing and growth is met.
  TNetManagedBuffer buffer;
  buffer.SetPackThreshold(1000);
  std::string model;
  std::string chunk;
  for (int i = 0; i < 3000; ++i) {
    chunk.assign(static_cast<size_t>(i % 97 + 1), static_cast<char>('a' + i % 26));
    buffer.Append(chunk.data(), static_cast<int64_t>(chunk.size()));
    model += chunk;
    const auto take = static_cast<int64_t>(std::min<size_t>(model.size(), static_cast<size_t>(i % 83)));
    ASSERT_EQ(model.substr(0, static_cast<size_t>(take)), buffer.Extract(take));
    model.erase(0, static_cast<size_t>(take));
    ASSERT_EQ(model, Content(buffer));
    ASSERT_LT(buffer.ReadOffset(), 1000);
  }
}

}  // namespace
}  // namespace meridian::net
