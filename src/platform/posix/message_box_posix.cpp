#include "platform/message_box.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/search_path.h"

namespace meridian::platform {

namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

std::string FindOnPath(const char* program) {
  for (const std::string& folder : SearchPathFolders()) {
    std::string candidate = folder + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::string();
}

void ShowDialog(const std::string& program, std::string_view text, std::string_view title) {
  std::string title_option = "--title=" + std::string(title);
  std::string text_option = "--text=" + std::string(text);
  std::string kind = "--error";
  std::string plain = "--no-markup";
  std::vector<char*> argv = {const_cast<char*>(program.c_str()), kind.data(), plain.data(),
                             title_option.data(), text_option.data(), nullptr};
  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

void ErrorMessageBox(std::string_view text, std::string_view title) {
  std::string line(title);
  line += ": ";
  line += text;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);

  if (!HasDisplay()) return;
  const std::string zenity = FindOnPath("zenity");
  if (!zenity.empty()) ShowDialog(zenity, text, title);
}

}  // namespace meridian::platform
