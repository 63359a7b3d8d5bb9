// The launcher's program entry.
#pragma once

namespace meridian::launcher {

// Runs the launcher: the engine check, then (when the engine is ready) the
// form whose creation does the order of work; "Restart.exe" is started
// instead when the engine is not ready. Reads no arguments. Returns the exit
// code, which is 0 on every road.
int LauncherMain();

}  // namespace meridian::launcher
