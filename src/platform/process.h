// The running process and the programs it starts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace meridian::platform {

// Full path of the running executable; empty when the platform cannot tell.
std::string ExecutablePath();

// The process's current folder, without a trailing separator; empty when the
// platform cannot tell.
std::string CurrentFolder();

// Show commands of a started program's first window (Windows numbering).
inline constexpr int32_t kShowNormal = 1;
inline constexpr int32_t kShowWindow = 5;

// Starts `command_line` and returns without waiting for the program.
//
// The first word of the command line names the program, the others are its
// arguments; words are separated by blanks or tabs, and double quotes group
// blanks into a word (the quotes themselves are dropped). A program named with
// a folder is taken from there; a bare name is looked for in the running
// executable's own folder first, then in the current folder, then along PATH.
// The program inherits the current folder, the environment and the standard
// streams, but none of the caller's signal settings: every signal has its
// default disposition and none is blocked. `show_command` is accepted for the platforms that have windows to
// show and has no effect on POSIX. No child process is left to be reaped.
// Returns true when the program was started; false when it was not found or
// could not be run.
bool WinExec(std::string_view command_line, int32_t show_command);

}  // namespace meridian::platform
