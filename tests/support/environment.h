// Environment variables for tests, on every platform.
#pragma once

namespace meridian::testing {

// Sets `name` to `value` for this process.
void SetEnvironmentVariable(const char* name, const char* value);
// Removes `name` from this process's environment.
void ClearEnvironmentVariable(const char* name);

}  // namespace meridian::testing
