#include "platform/library.h"

#include <windows.h>

namespace meridian::platform {

namespace {

// The system's text for a Windows error code, without the trailing line break.
std::string SystemErrorText(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "error " + std::to_string(code);
  return text;
}

}  // namespace

std::unique_ptr<TLibrary> TLibrary::Load(const std::string& name, std::string* error) {
  // No "cannot find the library" dialog from the system: a missing library
  // is an ordinary failure the caller reports in its own words.
  const UINT previous_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE handle = LoadLibraryA(name.c_str());
  const DWORD code = GetLastError();
  SetErrorMode(previous_mode);
  if (handle == nullptr) {
    if (error != nullptr) *error = name + ": " + SystemErrorText(code);
    return nullptr;
  }
  return std::unique_ptr<TLibrary>(new TLibrary(reinterpret_cast<void*>(handle), name));
}

TLibrary::~TLibrary() { FreeLibrary(static_cast<HMODULE>(handle_)); }

void* TLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace meridian::platform
