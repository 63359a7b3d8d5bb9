#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/scratch_folder.h"

namespace meridian::platform {
namespace {

using testing::TCurrentFolderChange;
using testing::TEnvironmentChange;
using testing::TScratchFolder;

// A named pipe that started programs report to. Opened for reading and
// writing, so it never reads end of file while no program has it open.
class TReportPipe {
 public:
  explicit TReportPipe(const TScratchFolder& folder) : path_(folder / "report") {
    mkfifo(path_.c_str(), 0600);
    fd_ = open(path_.c_str(), O_RDWR | O_NONBLOCK);
  }
  TReportPipe(const TReportPipe&) = delete;
  TReportPipe& operator=(const TReportPipe&) = delete;
  ~TReportPipe() { close(fd_); }

  const std::string& Path() const { return path_; }

  // One line written by a started program, without its line break; empty when
  // none comes within a generous time.
  std::string ReadLine() {
    std::string line;
    while (true) {
      pollfd wait{fd_, POLLIN, 0};
      if (poll(&wait, 1, 30000) <= 0) return line;
      char c;
      while (read(fd_, &c, 1) == 1) {
        if (c == '\n') return line;
        line += c;
      }
    }
  }

 private:
  std::string path_;
  int fd_ = -1;
};

// A program that reports its tag, its arguments and its current folder.
std::string ReportingProgram(const std::string& tag) {
  return "#!/bin/sh\n{ printf '" + tag + "|'; printf '%s;' \"$@\"; printf '|%s\\n' \"$(pwd)\"; } > \"$REPORT_PIPE\"\n";
}

bool NoChildLeft() {
  int status = 0;
  return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST(WinExec, StartsFromTheCurrentFolderWithArgumentsAndLeavesNoChild) {
  TScratchFolder folder;
  TReportPipe report(folder);
  TEnvironmentChange pipe("REPORT_PIPE", report.Path().c_str());
  folder.Write("prog", ReportingProgram("here"), true);
  TCurrentFolderChange in(folder.Path());

  ASSERT_TRUE(WinExec("prog 5757 \"two words\"  last", kShowWindow));
  EXPECT_TRUE(NoChildLeft());
  EXPECT_EQ("here|5757;two words;last;|" + folder.Path(), report.ReadLine());
}

TEST(WinExec, SearchesTheCurrentFolderBeforePath) {
  TScratchFolder folder;
  TReportPipe report(folder);
  TEnvironmentChange pipe("REPORT_PIPE", report.Path().c_str());
  const std::string current = folder.Folder("current");
  const std::string on_path = folder.Folder("bin");
  folder.Write("current/both", ReportingProgram("current"), true);
  folder.Write("bin/both", ReportingProgram("path"), true);
  folder.Write("bin/only", ReportingProgram("path-only"), true);
  TEnvironmentChange path("PATH", ("/nonexistent::" + on_path + ":/usr/bin:/bin").c_str());
  TCurrentFolderChange in(current);

  ASSERT_TRUE(WinExec("both", kShowNormal));
  EXPECT_EQ("current|;|" + current, report.ReadLine());
  ASSERT_TRUE(WinExec("only x", kShowNormal));
  EXPECT_EQ("path-only|x;|" + current, report.ReadLine());
  ASSERT_TRUE(WinExec(on_path + "/both", kShowNormal));
  EXPECT_EQ("path|;|" + current, report.ReadLine());
}

TEST(WinExec, StartedProgramsGetDefaultSignalsWhateverTheCaller) {
  TScratchFolder folder;
  TReportPipe report(folder);
  TEnvironmentChange pipe("REPORT_PIPE", report.Path().c_str());
  // The program's own status, as the kernel keeps it.
  folder.Write("signals", "#!/bin/sh\nexec grep -E '^Sig(Blk|Ign)' /proc/self/status > \"$REPORT_PIPE\"\n", true);

  // The caller ignores and blocks signals, as the socket stack does with
  // SIGPIPE; its settings are restored afterwards.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction saved_pipe {};
  struct sigaction saved_hup {};
  sigaction(SIGPIPE, &ignore, &saved_pipe);
  sigaction(SIGHUP, &ignore, &saved_hup);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  sigaddset(&blocked, SIGTERM);
  sigset_t saved_mask;
  pthread_sigmask(SIG_BLOCK, &blocked, &saved_mask);
  const bool started = WinExec(folder / "signals", kShowWindow);
  pthread_sigmask(SIG_SETMASK, &saved_mask, nullptr);
  sigaction(SIGHUP, &saved_hup, nullptr);
  sigaction(SIGPIPE, &saved_pipe, nullptr);

  ASSERT_TRUE(started);
  EXPECT_EQ("SigBlk:\t0000000000000000", report.ReadLine());
  EXPECT_EQ("SigIgn:\t0000000000000000", report.ReadLine());
}

TEST(WinExec, ReportsWhatCannotBeStarted) {
  TScratchFolder folder;
  folder.Write("not-executable", "#!/bin/sh\n", false);
  folder.Write("not-a-program", "\x7f\x01garbage", true);
  folder.Folder("a-folder");
  TCurrentFolderChange in(folder.Path());
  for (const char* command : {"", "   ", "meridian-no-such-program", "not-executable", "not-a-program",
                              "a-folder", "./meridian-no-such-program"}) {
    EXPECT_FALSE(WinExec(command, kShowWindow)) << command;
  }
  EXPECT_TRUE(NoChildLeft());
}

TEST(ProcessInfo, ExecutablePathAndCurrentFolder) {
  EXPECT_EQ("platform_tests", std::filesystem::path(ExecutablePath()).filename());
  EXPECT_EQ(std::filesystem::current_path().string(), CurrentFolder());
}

}  // namespace
}  // namespace meridian::platform
