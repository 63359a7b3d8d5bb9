#include "rtl/component.h"

#include <algorithm>

#include "rtl/exceptions.h"

namespace meridian::rtl {

namespace {

void Erase(std::vector<TComponent*>& list, TComponent* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void TPersistent::Assign(const TPersistent& source) { source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& dest) const { RaiseAssignError(ClassName(), dest.ClassName()); }

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  destroying_ = true;
  // Tell every linked component first, while this one is still whole enough to
  // be compared by address; each removes its pointer to us.
  while (!free_notifies_.empty()) {
    TComponent* other = free_notifies_.back();
    free_notifies_.pop_back();
    Erase(other->free_notifies_, this);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::FreeNotification(TComponent* watcher) {
  if (watcher == nullptr || watcher == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), watcher) == free_notifies_.end()) {
    free_notifies_.push_back(watcher);
  }
  if (std::find(watcher->free_notifies_.begin(), watcher->free_notifies_.end(), this) == watcher->free_notifies_.end()) {
    watcher->free_notifies_.push_back(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* watcher) {
  if (watcher == nullptr) return;
  Erase(free_notifies_, watcher);
  Erase(watcher->free_notifies_, this);
}

bool TComponent::FreeComponent(TComponent* component) {
  if (!Owns(component)) return false;
  delete component;  // its destructor takes it off this list
  return true;
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) Erase(free_notifies_, component);
  for (TComponent* child : std::vector<TComponent*>(components_)) child->Notification(component, operation);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* child = components_.back();
    // Detach first so the child's destructor does not call back into a list
    // that is being torn down.
    components_.pop_back();
    child->owner_ = nullptr;
    delete child;
  }
}

void TComponent::InsertComponent(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  Notification(component, opRemove);
  Erase(components_, component);
  component->owner_ = nullptr;
}

}  // namespace meridian::rtl
