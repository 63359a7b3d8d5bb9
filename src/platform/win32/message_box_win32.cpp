// Placeholder until the message box arrives: the error goes to standard error.
#include "platform/message_box.h"

#include <cstdio>

namespace meridian::platform {

void ErrorMessageBox(std::string_view text, std::string_view title) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
               text.data());
}

}  // namespace meridian::platform
