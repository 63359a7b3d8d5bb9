#include "transport/net_component.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/exceptions.h"
#include "transport/net_stack.h"

namespace meridian::net {
namespace {

// Records every event as one line of text.
struct EventLog {
  explicit EventLog(TNetComponent& component) {
    component.OnStatus = [this](rtl::TComponent*, TNetStatus status, const std::string& text) {
      lines.push_back("status " + std::to_string(status) + " " + text);
    };
    component.OnWorkBegin = [this](rtl::TComponent*, TWorkMode mode, int64_t max) {
      lines.push_back("begin " + std::to_string(mode) + " " + std::to_string(max));
    };
    component.OnWork = [this](rtl::TComponent*, TWorkMode mode, int64_t count) {
      lines.push_back("work " + std::to_string(mode) + " " + std::to_string(count));
    };
    component.OnWorkEnd = [this](rtl::TComponent*, TWorkMode mode) {
      lines.push_back("end " + std::to_string(mode));
    };
  }
  std::vector<std::string> lines;
};

TEST(TNetComponent, StatusTextsAreFilledFromArguments) {
  TNetComponent component;
  std::vector<std::string> texts;
  rtl::TComponent* sender = nullptr;
  component.OnStatus = [&](rtl::TComponent* s, TNetStatus, const std::string& text) {
    sender = s;
    texts.push_back(text);
  };
  const struct {
    TNetStatus status;
    std::vector<std::string> args;
    std::string text;
  } cases[] = {
      {hsResolving, {"example.test"}, "Resolving hostname example.test."},
      {hsConnecting, {"127.0.0.1"}, "Connecting to 127.0.0.1."},
      {hsConnected, {"example.test"}, "Connected."},
      {hsDisconnecting, {}, "Disconnecting."},
      {hsDisconnected, {}, "Disconnected."},
      {hsStatusText, {}, ""},
      {hsStatusText, {"100% done %s"}, "100% done %s"},  // arguments are not formats
      {hsResolving, {}, "Resolving hostname ."},
      {ftpTransfer, {"t"}, "t"},
      {ftpReady, {"r"}, "r"},
      {ftpAborted, {"a"}, "a"},
  };
  for (const auto& c : cases) {
    texts.clear();
    component.DoStatus(c.status, c.args);
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(c.text, texts[0]) << int{c.status};
  }
  EXPECT_EQ(&component, sender);
}

TEST(TNetComponent, WorkReportsRunningTotalsOfTheOutermostFrame) {
  TNetComponent component;
  EventLog log(component);
  component.BeginWork(wmRead, 100);
  component.DoWork(wmRead, 30);
  component.BeginWork(wmRead, 5);  // nested: no handler, no reset
  component.DoWork(wmRead, 70);
  component.EndWork(wmRead);
  EXPECT_EQ(1, component.WorkInfo(wmRead).Level);
  EXPECT_EQ(100, component.WorkInfo(wmRead).Max);
  component.EndWork(wmRead);
  component.DoWork(wmWrite, 10);  // no open write frame
  component.DoWork(wmRead, 10);   // the read frame is closed again
  EXPECT_EQ((std::vector<std::string>{"begin 0 100", "work 0 30", "work 0 100", "end 0"}), log.lines);
  EXPECT_EQ(0, component.WorkInfo(wmRead).Level);
  EXPECT_EQ(100, component.WorkInfo(wmRead).Current);
}

TEST(TNetComponent, ReadAndWriteFramesAreCountedApart) {
  TNetComponent component;
  EventLog log(component);
  component.BeginWork(wmWrite, 4);
  component.BeginWork(wmRead);
  component.DoWork(wmWrite, 4);
  component.DoWork(wmRead, 2);
  component.EndWork(wmWrite);
  component.DoWork(wmRead, 3);
  component.EndWork(wmRead);
  component.EndWork(wmRead);  // unmatched: ignored
  EXPECT_EQ((std::vector<std::string>{"begin 1 4", "begin 0 0", "work 1 4", "work 0 2", "end 1", "work 0 5",
                                      "end 0"}),
            log.lines);
  EXPECT_EQ(0, component.WorkInfo(wmRead).Level);
}

TEST(TNetComponent, WorkCountsPastTwoGigabytes) {
  TNetComponent component;
  EventLog log(component);
  component.BeginWork(wmRead, 3'000'000'000);
  component.DoWork(wmRead, 2'000'000'000);
  component.DoWork(wmRead, 2'000'000'000);
  component.EndWork(wmRead);
  EXPECT_EQ((std::vector<std::string>{"begin 0 3000000000", "work 0 2000000000", "work 0 4000000000", "end 0"}),
            log.lines);
}

TEST(TNetComponent, EndWorkClosesTheFrameWhenItsHandlerThrows) {
  TNetComponent component;
  component.OnWorkEnd = [](rtl::TComponent*, TWorkMode) { throw std::runtime_error("handler"); };
  component.BeginWork(wmRead, 1);
  EXPECT_THROW(component.EndWork(wmRead), std::runtime_error);
  EXPECT_EQ(0, component.WorkInfo(wmRead).Level);
}

TEST(TNetComponent, StackLivesExactlyWhileComponentsExist) {
  ASSERT_EQ(0, NetComponentCount());
  EXPECT_EQ(nullptr, GStack);
  auto first = std::make_unique<TNetComponent>();
  TNetStack* stack = GStack;
  ASSERT_NE(nullptr, stack);
  {
    TNetComponent owner;
    new TNetComponent(&owner);  // owned: freed with `owner`
    EXPECT_EQ(3, NetComponentCount());
    EXPECT_EQ(stack, GStack);
  }
  EXPECT_EQ(1, NetComponentCount());
  EXPECT_EQ(stack, GStack);
  first.reset();
  EXPECT_EQ(0, NetComponentCount());
  EXPECT_EQ(nullptr, GStack);

  TNetComponent third;
  ASSERT_NE(nullptr, GStack);
  EXPECT_EQ("127.0.0.1", GStack->ResolveHost("localhost"));
}

TEST(TNetComponent, StackThatCannotStartLeavesNothingBehind) {
  ASSERT_EQ(0, NetComponentCount());
  TNetStack::SetStackFactory([]() -> std::unique_ptr<TNetStack> { throw ENetStackInitializationFailed(); });
  try {
    TNetComponent component;
    ADD_FAILURE() << "no exception";
  } catch (const ENetStackInitializationFailed& e) {
    EXPECT_EQ("Winsock Initialization Error.", e.Message());
  }
  TNetStack::SetStackFactory(nullptr);
  EXPECT_EQ(0, NetComponentCount());
  EXPECT_EQ(nullptr, GStack);
  TNetComponent component;
  EXPECT_NE(nullptr, GStack);
}

TEST(TNetComponent, ComponentsComeAndGoOnManyThreads) {
  ASSERT_EQ(0, NetComponentCount());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) {
        TNetComponent component;
        // GStack exists while this component does.
        if (GStack == nullptr) ADD_FAILURE() << "no stack";
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, NetComponentCount());
  EXPECT_EQ(nullptr, GStack);
}

}  // namespace
}  // namespace meridian::net
