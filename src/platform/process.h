// The running process and the programs it starts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace meridian::platform {

// Full path of the running executable; empty when the platform cannot tell.
std::string ExecutablePath();

// The separator that joins a folder and a name in a path: "/" on POSIX, "\\"
// on Windows.
char FolderSeparator();

// True for a byte that ends the folder part of a path: "/" on POSIX; "\\"
// and the drive's ":" on Windows. The caller skips second bytes of
// double-byte characters, which may have the same code.
bool IsFolderSeparator(char c);

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
// On Windows the command line goes to the system's WinExec unchanged, whose
// search order and word rules are the system's (the own folder comes first
// there too), and `show_command` sets how the program's window is shown.
// Returns true when the program was started; false when it was not found or
// could not be run.
bool WinExec(std::string_view command_line, int32_t show_command);

// The component object services for the calling thread, in a single-threaded
// apartment, for the life of the object; released again when it is
// destroyed, if they could be initialised. The catalogue access on Windows
// needs them; on POSIX there is nothing to initialise. Not copyable.
class TComponentObjectServices {
 public:
  TComponentObjectServices();
  ~TComponentObjectServices();
  TComponentObjectServices(const TComponentObjectServices&) = delete;
  TComponentObjectServices& operator=(const TComponentObjectServices&) = delete;

  // False when the platform refused them.
  bool Initialised() const { return initialised_; }

 private:
  bool initialised_ = false;
};

}  // namespace meridian::platform
