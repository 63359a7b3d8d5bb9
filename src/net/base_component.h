// The base of every component of the network library.
#pragma once

#include <string>

#include "rtl/component.h"

namespace meridian::net {

// A plain component (name, tag, owner, destruction notices). Components that
// use the socket stack derive from TNetComponent instead.
class TNetBaseComponent : public rtl::TComponent {
 public:
  using rtl::TComponent::TComponent;
  std::string ClassName() const override { return "TNetBaseComponent"; }
};

}  // namespace meridian::net
