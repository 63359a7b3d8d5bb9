#include "platform/library.h"

#include <dlfcn.h>

namespace meridian::platform {

std::unique_ptr<TLibrary> TLibrary::Load(const std::string& name, std::string* error) {
  // RTLD_LOCAL keeps the library's entries out of the global namespace, so two
  // libraries exporting the same names (a real and a stand-in engine) do not mix.
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (error != nullptr) {
      const char* reason = dlerror();
      *error = reason != nullptr ? reason : "cannot load " + name;
    }
    return nullptr;
  }
  return std::unique_ptr<TLibrary>(new TLibrary(handle, name));
}

TLibrary::~TLibrary() { dlclose(handle_); }

void* TLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }

}  // namespace meridian::platform
