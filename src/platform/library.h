// Shared libraries loaded at run time: load by file name or path, look up
// entries, unload.
#pragma once

#include <memory>
#include <string>

namespace meridian::platform {

// One loaded shared library. The library stays loaded while the object lives;
// destroying it unloads the library (the platform keeps a library loaded as
// long as any handle to it is open). Not copyable.
class TLibrary {
 public:
  // Loads `name`: a path (containing a folder separator) is loaded from exactly
  // there; a bare name goes through the platform's ordinary library search.
  // Returns nullptr when the library cannot be loaded; `error`, when given,
  // then receives the platform's reason.
  static std::unique_ptr<TLibrary> Load(const std::string& name, std::string* error = nullptr);

  TLibrary(const TLibrary&) = delete;
  TLibrary& operator=(const TLibrary&) = delete;
  ~TLibrary();

  // Address of the exported entry `name`, nullptr when the library lacks it.
  void* Symbol(const char* name) const;

  // Symbol() cast to a function pointer type, e.g. Entry<int (*)(void)>("init").
  template <typename Function>
  Function Entry(const char* name) const {
    return reinterpret_cast<Function>(Symbol(name));
  }

  // The name the library was loaded by.
  const std::string& Name() const { return name_; }

 private:
  TLibrary(void* handle, std::string name) : handle_(handle), name_(std::move(name)) {}

  void* handle_;
  std::string name_;
};

}  // namespace meridian::platform
