// Placeholder until process start-up arrives: nothing can be started.
#include "platform/process.h"

namespace meridian::platform {

std::string ExecutablePath() { return {}; }

std::string CurrentFolder() { return {}; }

bool WinExec(std::string_view, int32_t) { return false; }

}  // namespace meridian::platform
