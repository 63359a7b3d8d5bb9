#include "run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

extern char** environ;

namespace meridian::testing {

namespace {

std::vector<std::string> ChangedEnvironment(const std::vector<std::pair<std::string, const char*>>& changes) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool replaced = false;
    for (const auto& [name, value] : changes) replaced = replaced || text.rfind(name + "=", 0) == 0;
    if (!replaced) entries.push_back(text);
  }
  for (const auto& [name, value] : changes) {
    if (value != nullptr) entries.push_back(name + "=" + value);
  }
  return entries;
}

}  // namespace

TProgramRun RunProgram(const std::string& program, const std::string& folder,
                       const std::vector<std::pair<std::string, const char*>>& environment, int run_as) {
  std::vector<std::string> entries = ChangedEnvironment(environment);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};

  TProgramRun run;
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return run;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return run;
  }
  const pid_t child = fork();
  if (child == 0) {
    // dup2 clears close-on-exec on the copies, so the program keeps them.
    if (run_as != -1 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(run_as)) != 0 ||
                         setuid(static_cast<uid_t>(run_as)) != 0)) {
      _exit(125);
    }
    if (chdir(folder.c_str()) != 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) _exit(126);
    execve(path.c_str(), argv, envp.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* texts[2] = {&run.out, &run.err};
  int open_count = 2;
  bool timed_out = false;
  while (open_count > 0 && child > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        texts[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  if (child > 0) {
    if (timed_out) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!timed_out && WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  }
  return run;
}

TBackgroundProgram::TBackgroundProgram(const std::string& program, const std::string& folder,
                                       const std::vector<std::pair<std::string, const char*>>& environment) {
  std::vector<std::string> entries = ChangedEnvironment(environment);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};
  const int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null_fd < 0) return;
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0 || dup2(null_fd, 0) < 0 || dup2(null_fd, 1) < 0 || dup2(null_fd, 2) < 0) {
      _exit(126);
    }
    execve(path.c_str(), argv, envp.data());
    _exit(127);
  }
  close(null_fd);
  pid_ = child;
}

TBackgroundProgram::~TBackgroundProgram() {
  if (pid_ > 0 && status_ == -1) {
    Kill();
    Wait();
  }
}

void TBackgroundProgram::Kill() {
  // Only a program not yet reaped is signalled: its process id is still its own.
  if (pid_ > 0 && status_ == -1) kill(pid_, SIGKILL);
}

int TBackgroundProgram::Wait() {
  if (pid_ > 0 && status_ == -1) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    status_ = status;
  }
  return status_;
}

}  // namespace meridian::testing
