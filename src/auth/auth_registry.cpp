#include "auth/auth_registry.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "auth/basic_authentication.h"
#include "net/exceptions.h"
#include "rtl/text.h"

namespace meridian::net {

namespace {

class TAuthRegistry {
 public:
  TAuthRegistry() { entries_.emplace_back("Basic", AuthenticationClass<TNetBasicAuthentication>()); }

  void Register(std::string_view name, TNetAuthenticationClass scheme) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (const TNetAuthenticationClass taken = FindLocked(name)) {
      throw ENetAlreadyRegisteredAuthenticationMethod(std::string(taken->class_name));
    }
    entries_.emplace_back(std::string(name), scheme);
  }

  TNetAuthenticationClass Find(std::string_view name) {
    const std::lock_guard<std::mutex> guard(lock_);
    return FindLocked(name);
  }

 private:
  TNetAuthenticationClass FindLocked(std::string_view name) const {
    for (const auto& [entry_name, scheme] : entries_) {
      if (rtl::SameText(entry_name, name)) return scheme;
    }
    return nullptr;
  }

  std::mutex lock_;
  std::vector<std::pair<std::string, TNetAuthenticationClass>> entries_;
};

// Made on first use, so that a static initialiser elsewhere may already look a
// scheme up; never destroyed, so that a static destructor elsewhere may too.
TAuthRegistry& Registry() {
  static TAuthRegistry* const registry = new TAuthRegistry;
  return *registry;
}

}  // namespace

void RegisterAuthScheme(std::string_view name, TNetAuthenticationClass scheme) { Registry().Register(name, scheme); }

TNetAuthenticationClass FindAuthScheme(std::string_view name) {
  // Asked outside the registry's lock: a scheme may load a library to know.
  const TNetAuthenticationClass scheme = Registry().Find(name);
  if (scheme != nullptr && scheme->available != nullptr && !scheme->available()) return nullptr;
  return scheme;
}

}  // namespace meridian::net
