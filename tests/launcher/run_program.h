// Runs a program as a child process and collects what it writes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace meridian::testing {

struct TProgramRun {
  int exit_code = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `program` without arguments in `folder` with the environment changed by
// `environment` (a value of nullptr removes the variable). Reads standard
// output and standard error to their end, which comes only when every program
// that inherited them has ended too, so programs it starts are waited for.
// Runs it as the user and group `run_as` when that is not -1. Gives up (exit
// code -1) after a minute.
TProgramRun RunProgram(const std::string& program, const std::string& folder,
                       const std::vector<std::pair<std::string, const char*>>& environment, int run_as = -1);

// A program started without arguments in `folder`, with the environment
// changed as for RunProgram and its output discarded. Destroying a program
// that still runs kills it; it is always reaped.
class TBackgroundProgram {
 public:
  TBackgroundProgram(const std::string& program, const std::string& folder,
                     const std::vector<std::pair<std::string, const char*>>& environment);
  ~TBackgroundProgram();
  TBackgroundProgram(const TBackgroundProgram&) = delete;
  TBackgroundProgram& operator=(const TBackgroundProgram&) = delete;

  bool Started() const { return pid_ > 0; }
  // Ends it with SIGKILL at once (harmless when it has ended already).
  void Kill();
  // Waits for it to end; its wait status, or -1 when it was not started.
  int Wait();

 private:
  int pid_ = -1;
  int status_ = -1;
};

}  // namespace meridian::testing
