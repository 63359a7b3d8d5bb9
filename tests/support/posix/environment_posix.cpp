#include "support/environment.h"

#include <stdlib.h>

namespace meridian::testing {

void SetEnvironmentVariable(const char* name, const char* value) { setenv(name, value, 1); }

void ClearEnvironmentVariable(const char* name) { unsetenv(name); }

}  // namespace meridian::testing
