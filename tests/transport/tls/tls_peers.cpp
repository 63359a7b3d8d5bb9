#include "tls_peers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace meridian::net::testing {

namespace {

std::vector<char*> Argv(std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return argv;
}

// Starts `arguments` with standard output to `output` (or nowhere) and
// standard error nowhere; returns the child's id or -1.
pid_t Start(std::vector<std::string> arguments, const std::string& folder, int output) {
  std::vector<char*> argv = Argv(arguments);
  const pid_t child = fork();
  if (child == 0) {
    const int nowhere = open("/dev/null", O_RDWR);
    if (nowhere < 0 || dup2(nowhere, 0) < 0 || dup2(output >= 0 ? output : nowhere, 1) < 0 || dup2(nowhere, 2) < 0 ||
        (!folder.empty() && chdir(folder.c_str()) != 0)) {
      _exit(126);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

// Waits for `child` at most `bound`; kills it when it is still running then.
int WaitFor(pid_t child, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool RunCommand(const std::vector<std::string>& arguments, const std::string& folder) {
  const pid_t child = Start(arguments, folder, -1);
  return child > 0 && WaitFor(child, std::chrono::seconds(60)) == 0;
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "meridian-tls-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

// ---- The certificate authority ----

TestPki::TestPki() {
  const std::string leaf = "basicConstraints=CA:FALSE\nsubjectAltName=DNS:localhost,IP:127.0.0.1\n";
  const std::string ca = "basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n";
  ok_ = !folder_.Path().empty() && MakeRoot("ca", "/CN=Meridian Test Root") &&
        MakeIssued("server", "/CN=localhost", "ca", leaf, "30") &&
        // A negative validity ends the certificate a day before it starts,
        // which is in the past however the clock stands.
        MakeIssued("expired", "/CN=localhost", "ca", leaf, "-1") &&
        MakeIssued("wronghost", "/CN=other.test", "ca", "subjectAltName=DNS:other.test\n", "30") &&
        MakeRoot("otherca", "/CN=Meridian Unknown Root") &&
        MakeIssued("untrusted", "/CN=localhost", "otherca", leaf, "30") && MakeRoot("selfsigned", "/CN=localhost") &&
        MakeIssued("inter", "/CN=Meridian Test Intermediate", "ca", ca, "30") &&
        MakeIssued("deep", "/CN=localhost", "inter", leaf, "30") &&
        MakeIssued("client", "/CN=Meridian Test Client", "ca", "basicConstraints=CA:FALSE\n", "30") &&
        RunCommand({"openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out",
                    Key("stranger")},
                   folder_.Path()) &&
        RunCommand({"openssl", "pkey", "-in", Key("client"), "-aes256", "-passout", "pass:open sesame", "-out",
                    Key("locked")},
                   folder_.Path());
}

bool TestPki::MakeRoot(const std::string& name, const std::string& subject) {
  return RunCommand({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                     "-keyout", Key(name), "-out", Pem(name), "-days", "30", "-subj", subject, "-addext",
                     "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                     "-addext", "subjectAltName=DNS:localhost"},
                    folder_.Path());
}

bool TestPki::MakeIssued(const std::string& name, const std::string& subject, const std::string& issuer,
                         const std::string& extensions, const std::string& days) {
  const std::string request = folder_.File(name + ".csr");
  const std::string extension_file = folder_.File(name + ".ext");
  std::ofstream(extension_file) << extensions;
  return RunCommand({"openssl", "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                     "-keyout", Key(name), "-out", request, "-subj", subject},
                    folder_.Path()) &&
         RunCommand({"openssl", "x509", "-req", "-in", request, "-CA", Pem(issuer), "-CAkey", Key(issuer),
                     "-CAcreateserial", "-days", days, "-extfile", extension_file, "-out", Pem(name)},
                    folder_.Path());
}

// ---- s_server ----

OpensslServer::OpensslServer(const std::vector<std::string>& arguments) {
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) return;
  std::vector<std::string> command = {"openssl", "s_server", "-accept", "127.0.0.1:0", "-naccept", "1"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  pid_ = Start(command, "", pipe_ends[1]);
  close(pipe_ends[1]);
  output_ = pipe_ends[0];
  if (pid_ <= 0) return;
  // s_server names its port in a line "ACCEPT 127.0.0.1:PORT" once it listens.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string text;
  while (port_ == 0 && std::chrono::steady_clock::now() < deadline && text.size() < 65536) {
    pollfd entry{output_, POLLIN, 0};
    if (poll(&entry, 1, 100) <= 0) continue;
    char block[512];
    const ssize_t n = read(output_, block, sizeof block);
    if (n <= 0) break;
    text.append(block, static_cast<size_t>(n));
    const size_t at = text.find("ACCEPT 127.0.0.1:");
    const size_t end = at == std::string::npos ? at : text.find('\n', at);
    if (end != std::string::npos) port_ = std::atoi(text.c_str() + at + 17);
  }
}

OpensslServer::~OpensslServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    WaitFor(pid_, std::chrono::seconds(10));
  }
  if (output_ >= 0) close(output_);
}

}  // namespace meridian::net::testing
