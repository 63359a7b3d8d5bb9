// The running process and the programs it starts, on Windows.
#include "platform/process.h"

#include <objbase.h>
#include <windows.h>

namespace meridian::platform {

namespace {

// Paths longer than this are not paths the system can run from.
constexpr DWORD kMaxPathBytes = 32 * 1024;

}  // namespace

std::string ExecutablePath() {
  // The call truncates silently to the buffer (and reports the buffer's
  // size), so the buffer grows until the path fits with room to spare.
  std::string buffer(MAX_PATH, '\0');
  while (true) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    if (buffer.size() >= kMaxPathBytes) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string CurrentFolder() {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0 || needed > kMaxPathBytes) return std::string();
  std::string buffer(needed, '\0');
  const DWORD length = GetCurrentDirectoryA(needed, buffer.data());
  if (length == 0 || length >= needed) return std::string();
  buffer.resize(length);
  // A drive's root keeps its separator ("C:\"): without it the name would
  // mean the drive's current folder instead.
  if (buffer.size() > 3 && buffer.back() == '\\') buffer.pop_back();
  return buffer;
}

char FolderSeparator() { return '\\'; }

bool IsFolderSeparator(char c) { return c == '\\' || c == ':'; }

bool WinExec(std::string_view command_line, int32_t show_command) {
  // Results above 31 mean the program was started.
  return ::WinExec(std::string(command_line).c_str(), static_cast<UINT>(show_command)) > 31;
}

TComponentObjectServices::TComponentObjectServices() {
  // S_FALSE (already initialised on this thread) still has to be balanced.
  initialised_ = SUCCEEDED(CoInitialize(nullptr));
}

TComponentObjectServices::~TComponentObjectServices() {
  if (initialised_) CoUninitialize();
}

}  // namespace meridian::platform
