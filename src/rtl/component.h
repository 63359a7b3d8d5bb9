// Objects that can be assigned from one another (TPersistent) and components
// that own other components and tell each other when they are destroyed
// (TComponent).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace meridian::rtl {

class TPersistent {
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;

  // Takes over the settings of `source`. The default asks `source` to assign
  // itself (AssignTo); throws EAssignError "Cannot assign a %s to a %s." when
  // neither side knows the other.
  virtual void Assign(const TPersistent& source);

  // Name of the class, used in assignment errors.
  virtual std::string ClassName() const { return "TPersistent"; }

 protected:
  // Assigns this object to `dest`; the default throws EAssignError.
  virtual void AssignTo(TPersistent& dest) const;
};

enum TOperation : uint8_t { opInsert, opRemove };

// A component owns the components created with it as owner and destroys them
// in reverse creation order when it is destroyed. A component that keeps a
// pointer to another one it does not own calls other->FreeNotification(this)
// and clears the pointer in Notification(other, opRemove). The link works both
// ways: whichever of the two dies first leaves the other's list.
// Components that belong to another are made with MakeOwned and end with their
// owner, or earlier through the owner's FreeComponent: ownership is membership
// of the owner's list, visible as Owner(), and nothing else frees them.
// Not thread-safe: a component and those it links to live on one thread.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  // A number for the program's own use. Default: 0.
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }
  std::string ClassName() const override { return "TComponent"; }

  size_t ComponentCount() const { return components_.size(); }
  TComponent* Components(size_t index) const { return components_[index]; }

  // Asks to be told (Notification with opRemove) when this component is
  // destroyed: `watcher` is notified as this one dies.
  void FreeNotification(TComponent* watcher);
  void RemoveFreeNotification(TComponent* watcher);

  // True from the start of destruction on.
  bool Destroying() const { return destroying_; }

  // True when `component` is on this one's owned list.
  bool Owns(const TComponent* component) const { return component != nullptr && component->owner_ == this; }
  // Destroys `component` now when this one owns it (it leaves the list and its
  // watchers are told); does nothing to a component owned elsewhere or by
  // none. Returns whether it destroyed it.
  bool FreeComponent(TComponent* component);

 protected:
  // Called when `component` is inserted into or removed from this one's owned
  // list, and when a component this one asked about is destroyed. The default
  // forwards the news to the owned components.
  virtual void Notification(TComponent* component, TOperation operation);

  // Destroys the owned components now (reverse creation order). Derived
  // destructors call it when their owned components must go before their own
  // members do.
  void DestroyComponents();

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  intptr_t tag_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  bool destroying_ = false;
};

// Creates a `T` owned by `owner`: it joins the owner's list and ends with the
// owner, or earlier through owner.FreeComponent. `T`'s constructor takes the
// owner first, then `args`.
template <class T, class... Args>
T* MakeOwned(TComponent& owner, Args&&... args) {
  return new T(&owner, std::forward<Args>(args)...);
}

}  // namespace meridian::rtl
