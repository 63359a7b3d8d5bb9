#include "support/environment.h"

#include <stdlib.h>

namespace meridian::testing {

void SetEnvironmentVariable(const char* name, const char* value) { _putenv_s(name, value); }

// An empty value removes the variable.
void ClearEnvironmentVariable(const char* name) { _putenv_s(name, ""); }

}  // namespace meridian::testing
