#include "rtl/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/exceptions.h"

namespace meridian::rtl {
namespace {

std::vector<std::string> g_log;

class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string tag) : TComponent(owner), tag_(std::move(tag)) {}
  ~Probe() override { g_log.push_back("~" + tag_); }
  TComponent* peer = nullptr;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == peer) {
      peer = nullptr;
      g_log.push_back(tag_ + " lost peer");
    }
  }

 private:
  std::string tag_;
};

TEST(TComponent, OwnerDestroysOwnedInReverseCreationOrder) {
  g_log.clear();
  auto* owner = new Probe(nullptr, "owner");
  new Probe(owner, "a");
  auto* b = new Probe(owner, "b");
  new Probe(owner, "c");
  EXPECT_EQ(3u, owner->ComponentCount());
  delete b;  // an early delete leaves the owner's list
  EXPECT_EQ(2u, owner->ComponentCount());
  delete owner;
  EXPECT_EQ((std::vector<std::string>{"~b", "~owner", "~c", "~a"}), g_log);
}

TEST(TComponent, FreeNotificationClearsReferencesBothWays) {
  g_log.clear();
  auto* watcher = new Probe(nullptr, "w");
  auto* target = new Probe(nullptr, "t");
  watcher->peer = target;
  target->FreeNotification(watcher);
  delete target;
  EXPECT_EQ(nullptr, watcher->peer);

  // A watcher that dies first leaves the target's list: no call reaches it.
  auto* target2 = new Probe(nullptr, "t2");
  watcher->peer = target2;
  target2->FreeNotification(watcher);
  delete watcher;
  delete target2;
  EXPECT_EQ((std::vector<std::string>{"~t", "w lost peer", "~w", "~t2"}), g_log);
}

TEST(TComponent, FreeComponentEndsOnlyWhatTheOwnerOwns) {
  g_log.clear();
  Probe owner(nullptr, "owner");
  Probe other(nullptr, "other");
  Probe* own = MakeOwned<Probe>(owner, "own");
  Probe* elsewhere = MakeOwned<Probe>(other, "elsewhere");
  Probe unowned(nullptr, "unowned");
  Probe watcher(nullptr, "w");
  watcher.peer = own;
  own->FreeNotification(&watcher);
  EXPECT_EQ(&owner, own->Owner());
  EXPECT_EQ(1u, owner.ComponentCount());

  struct Case {
    TComponent* component;
    bool freed;
  };
  for (const Case& c : {Case{elsewhere, false}, Case{&unowned, false}, Case{nullptr, false}, Case{&owner, false},
                        Case{own, true}}) {
    EXPECT_EQ(c.freed, owner.FreeComponent(c.component));
  }
  EXPECT_EQ(0u, owner.ComponentCount());
  EXPECT_EQ(1u, other.ComponentCount());
  EXPECT_EQ(nullptr, watcher.peer);  // its watchers were told
  EXPECT_EQ((std::vector<std::string>{"~own", "w lost peer"}), g_log);
}

TEST(TPersistent, AssignBetweenUnrelatedClassesRaises) {
  TComponent a;
  TComponent b;
  try {
    a.Assign(b);
    FAIL();
  } catch (const EAssignError& e) {
    EXPECT_EQ("Cannot assign a TComponent to a TComponent.", e.Message());
  }
}

}  // namespace
}  // namespace meridian::rtl
