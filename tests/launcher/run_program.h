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

}  // namespace meridian::testing
