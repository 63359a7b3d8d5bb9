#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix/search_path.h"

namespace meridian::platform {

namespace {

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

bool IsRunnableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The file that runs for `program`; empty when there is none.
std::string Locate(const std::string& program) {
  if (program.find('/') != std::string::npos) return IsRunnableFile(program) ? program : std::string();

  std::vector<std::string> folders;
  const std::string own = FolderOf(ExecutablePath());
  if (!own.empty()) folders.push_back(own);
  folders.push_back(CurrentFolder());
  for (std::string& folder : SearchPathFolders()) folders.push_back(std::move(folder));
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::string candidate = folder + "/" + program;
    if (IsRunnableFile(candidate)) return candidate;
  }
  return std::string();
}

void WriteErrno(int fd, int error) {
  // Only async-signal-safe calls between fork and exec.
  ssize_t ignored = write(fd, &error, sizeof error);
  (void)ignored;
}

}  // namespace

std::string ExecutablePath() {
  std::string buffer(256, '\0');
  while (true) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return std::string();
    if (static_cast<size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<size_t>(length));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

char FolderSeparator() { return '/'; }

bool IsFolderSeparator(char c) { return c == '/'; }

TComponentObjectServices::TComponentObjectServices() : initialised_(true) {}

TComponentObjectServices::~TComponentObjectServices() = default;

std::string CurrentFolder() {
  std::string buffer(256, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  return buffer;
}

bool WinExec(std::string_view command_line, int32_t /*show_command*/) {
  std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) return false;
  const std::string file = Locate(words.front());
  if (file.empty()) return false;

  // Everything the children need is prepared before forking: after fork only
  // async-signal-safe calls are allowed.
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  // The grandchild reports a failed exec through this pipe; a successful exec
  // closes it (close-on-exec), so the parent reads end of file.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;

  // Double fork: the intermediate child exits at once and is reaped here, the
  // program itself is adopted by init, so no zombie is ever left behind and no
  // SIGCHLD handling is imposed on the host.
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    close(report[0]);
    const pid_t grandchild = fork();
    if (grandchild < 0) {
      WriteErrno(report[1], errno);
      _exit(1);
    }
    if (grandchild == 0) {
      // A started program gets the default disposition of every signal and an
      // empty signal mask. Handlers are reset by exec anyway, but an ignored
      // signal (the socket stack ignores SIGPIPE) would stay ignored in the
      // program and in everything it starts. Signals that cannot be changed
      // (SIGKILL, SIGSTOP, the runtime's own) just refuse.
      struct sigaction default_action {};
      default_action.sa_handler = SIG_DFL;
      sigemptyset(&default_action.sa_mask);
      for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        sigaction(signal_number, &default_action, nullptr);
      }
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      execv(file.c_str(), argv.data());
      WriteErrno(report[1], errno);
      _exit(127);
    }
    _exit(0);
  }

  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int exec_error = 0;
  ssize_t got;
  do {
    got = read(report[0], &exec_error, sizeof exec_error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  return got == 0;
}

}  // namespace meridian::platform
