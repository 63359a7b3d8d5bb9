#include "transport/socket_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/exceptions.h"

namespace meridian::net {
namespace {

std::vector<TNetStackSocketHandle> Handles(const TNetSocketList& list) {
  std::vector<TNetStackSocketHandle> handles;
  for (int32_t i = 0; i < list.Count(); ++i) handles.push_back(list.Items(i));
  return handles;
}

TEST(TNetSocketList, HoldsAtMost64Handles) {
  auto list = TNetSocketList::CreateSocketList();
  for (int i = 0; i < 64; ++i) list->Add(100 + i);
  EXPECT_EQ(64, list->Count());
  try {
    list->Add(7);
    FAIL() << "no exception";
  } catch (const ENetStackSetSizeExceeded& e) {
    EXPECT_EQ("Set Size Exceeded.", e.Message());
  }
  EXPECT_EQ(64, list->Count());
  EXPECT_EQ(163, list->Items(63));
}

TEST(TNetSocketList, ItemsOutsideTheCountRaise) {
  TNetSocketListPosix list;
  EXPECT_THROW(list.Items(0), ENetStackSetSizeExceeded);
  list.Add(5);
  EXPECT_EQ(5, list.Items(0));
  EXPECT_THROW(list.Items(1), ENetStackSetSizeExceeded);
  EXPECT_THROW(list.Items(-1), ENetStackSetSizeExceeded);
}

TEST(TNetSocketList, RemoveMovesTheLastHandleIntoTheGap) {
  TNetSocketListPosix list;
  for (TNetStackSocketHandle h : {1, 2, 3, 2, 4}) list.Add(h);
  list.Remove(2);  // the first 2 only
  EXPECT_EQ((std::vector<TNetStackSocketHandle>{1, 4, 3, 2}), Handles(list));
  list.Remove(9);
  EXPECT_EQ((std::vector<TNetStackSocketHandle>{1, 4, 3, 2}), Handles(list));
  list.Remove(2);
  EXPECT_EQ((std::vector<TNetStackSocketHandle>{1, 4, 3}), Handles(list));
  // The freed place is reusable up to the limit again.
  list.Clear();
  for (int i = 0; i < 64; ++i) list.Add(i);
  list.Remove(0);
  list.Add(99);
  EXPECT_EQ(99, list.Items(63));
}

}  // namespace
}  // namespace meridian::net
