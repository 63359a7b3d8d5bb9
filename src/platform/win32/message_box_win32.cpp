// The error message box through the system's message box.
#include "platform/message_box.h"

#include <windows.h>

#include <string>

namespace meridian::platform {

namespace {

// The line "title: text" on the process's standard error, when it has one:
// a launcher started normally has none, one started by a script or a test
// leaves the message there as on POSIX.
void WriteStandardError(std::string_view text, std::string_view title) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  std::string line(title);
  line += ": ";
  line += text;
  line += '\n';
  DWORD written = 0;
  WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

void ErrorMessageBox(std::string_view text, std::string_view title) {
  WriteStandardError(text, title);
  // One OK button and the stop icon. A result of 0 or below means the box
  // could not be shown at all (no desktop, out of resources): the message
  // then stays unseen rather than the launcher waiting for a click that
  // cannot come.
  const int result = MessageBoxA(nullptr, std::string(text).c_str(), std::string(title).c_str(),
                                 MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
  (void)result;
}

}  // namespace meridian::platform
