#include "transport/anti_freeze.h"

#include <gtest/gtest.h>

#include <thread>

namespace meridian::net {
namespace {

class CountingAntiFreeze : public TNetAntiFreezeBase {
 public:
  void Process() override { ++calls; }
  int calls = 0;
};

TEST(TNetAntiFreezeBase, NothingHappensWithoutOne) {
  ASSERT_EQ(nullptr, TNetAntiFreezeBase::Registered());
  EXPECT_FALSE(TNetAntiFreezeBase::ShouldUse());
  TNetAntiFreezeBase::DoProcess(true, true);  // nothing to call
}

TEST(TNetAntiFreezeBase, HasItsDefaults) {
  CountingAntiFreeze anti_freeze;
  EXPECT_TRUE(anti_freeze.Active());
  EXPECT_TRUE(anti_freeze.ApplicationHasPriority());
  EXPECT_EQ(250, anti_freeze.IdleTimeOut());
  EXPECT_TRUE(anti_freeze.OnlyWhenIdle());
}

TEST(TNetAntiFreezeBase, ProcessesOnlyWhenItShould) {
  CountingAntiFreeze anti_freeze;
  const struct {
    bool active, only_when_idle, idle, override_idle;
    int calls;
  } cases[] = {
      {true, true, true, false, 1},  {true, true, false, false, 0},  {true, true, false, true, 1},
      {true, false, false, false, 1}, {false, false, true, true, 0},
  };
  for (const auto& c : cases) {
    anti_freeze.calls = 0;
    anti_freeze.SetActive(c.active);
    anti_freeze.SetOnlyWhenIdle(c.only_when_idle);
    EXPECT_EQ(c.active, TNetAntiFreezeBase::ShouldUse());
    TNetAntiFreezeBase::DoProcess(c.idle, c.override_idle);
    EXPECT_EQ(c.calls, anti_freeze.calls) << c.active << c.only_when_idle << c.idle << c.override_idle;
  }
}

TEST(TNetAntiFreezeBase, ActsOnlyOnTheMainThread) {
  CountingAntiFreeze anti_freeze;
  ASSERT_TRUE(TNetAntiFreezeBase::ShouldUse());
  bool should_use_elsewhere = true;
  std::thread([&] {
    should_use_elsewhere = TNetAntiFreezeBase::ShouldUse();
    TNetAntiFreezeBase::DoProcess();
  }).join();
  EXPECT_FALSE(should_use_elsewhere);
  EXPECT_EQ(0, anti_freeze.calls);
}

TEST(TNetAntiFreezeBase, ALaterOneReplacesAnEarlierOne) {
  auto earlier = std::make_unique<CountingAntiFreeze>();
  auto later = std::make_unique<CountingAntiFreeze>();
  EXPECT_EQ(later.get(), TNetAntiFreezeBase::Registered());
  // The replaced one dying does not unregister its successor.
  earlier.reset();
  EXPECT_EQ(later.get(), TNetAntiFreezeBase::Registered());
  TNetAntiFreezeBase::DoProcess();
  EXPECT_EQ(1, later->calls);
  later.reset();
  EXPECT_EQ(nullptr, TNetAntiFreezeBase::Registered());
}

}  // namespace
}  // namespace meridian::net
