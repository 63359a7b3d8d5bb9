#include "auth/auth_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "auth/basic_authentication.h"
#include "net/exceptions.h"

namespace meridian::net {
namespace {

// A scheme that only this test registers.
class TTestAuthentication : public TNetBasicAuthentication {
 public:
  static constexpr std::string_view kClassName = "TTestAuthentication";
  std::string ClassName() const override { return std::string(kClassName); }
};

TEST(AuthRegistry, BasicIsRegisteredAndFoundInAnyCase) {
  for (const char* name : {"Basic", "BASIC", "basic", "bAsIc"}) {
    EXPECT_EQ(AuthenticationClass<TNetBasicAuthentication>(), FindAuthScheme(name)) << name;
  }
  EXPECT_EQ(nullptr, FindAuthScheme("Digest"));
  EXPECT_EQ(nullptr, FindAuthScheme(""));
  EXPECT_EQ(nullptr, FindAuthScheme("Basic "));

  const std::unique_ptr<TNetAuthentication> scheme = FindAuthScheme("basic")->create();
  EXPECT_EQ("TNetBasicAuthentication", scheme->ClassName());
  EXPECT_EQ(1, scheme->StepCount());
}

TEST(AuthRegistry, DuplicateNameIsRefusedWithTheRegisteredClassName) {
  try {
    RegisterAuthScheme("BASIC", AuthenticationClass<TTestAuthentication>());
    FAIL();
  } catch (const ENetAlreadyRegisteredAuthenticationMethod& e) {
    EXPECT_EQ("This authentication method is already registered with class name TNetBasicAuthentication.",
              e.Message());
  }
  EXPECT_EQ(AuthenticationClass<TNetBasicAuthentication>(), FindAuthScheme("Basic"));
}

TEST(AuthRegistry, RegistersFromManyThreadsOnce) {
  // Eight threads race to register one name: exactly one wins.
  std::atomic<int> wins{0};
  std::atomic<int> refusals{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      try {
        RegisterAuthScheme("X-Test", AuthenticationClass<TTestAuthentication>());
        ++wins;
      } catch (const ENetAlreadyRegisteredAuthenticationMethod&) {
        ++refusals;
      }
      FindAuthScheme("basic");
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(1, wins.load());
  EXPECT_EQ(7, refusals.load());
  EXPECT_EQ(AuthenticationClass<TTestAuthentication>(), FindAuthScheme("x-test"));
}

}  // namespace
}  // namespace meridian::net
