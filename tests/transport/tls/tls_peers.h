// Test helpers for the TLS tests: a throw-away certificate authority with the
// certificates the tests need, made with the openssl command in a temporary
// folder, and an `openssl s_server` on a loopback port of its own.
#pragma once

#include <string>
#include <vector>

namespace meridian::net::testing {

// Runs `arguments` (the program first, looked up along PATH) and waits for
// it, at most 60 s. True when it exited with 0.
bool RunCommand(const std::vector<std::string>& arguments, const std::string& folder);

// A temporary folder, removed with everything in it on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Certificates, all EC P-256 with their keys in NAME.pem and NAME.key:
//   ca         the trusted root
//   server     for localhost and 127.0.0.1, issued by ca
//   expired    as server, expired
//   wronghost  for other.test only, issued by ca
//   untrusted  for localhost, issued by a root nobody trusts
//   selfsigned for localhost, its own issuer
//   inter      an intermediate CA under ca; deep: for localhost, issued by it
//   client     a client certificate issued by ca
//   stranger   a key of its own, matching no certificate (stranger.key only)
//   locked     client's key under the password "open sesame" (locked.key only)
class TestPki {
 public:
  TestPki();
  bool Ok() const { return ok_; }
  std::string Pem(const std::string& name) const { return folder_.File(name + ".pem"); }
  std::string Key(const std::string& name) const { return folder_.File(name + ".key"); }
  const TempFolder& Folder() const { return folder_; }

 private:
  bool MakeRoot(const std::string& name, const std::string& subject);
  bool MakeIssued(const std::string& name, const std::string& subject, const std::string& issuer,
                  const std::string& extensions, const std::string& days);

  TempFolder folder_;
  bool ok_ = false;
};

// `openssl s_server` on 127.0.0.1 at a port it picks, for one connection,
// answering "GET /" with its status page (-www) unless `arguments` say
// otherwise. The destructor ends it and waits for it.
class OpensslServer {
 public:
  explicit OpensslServer(const std::vector<std::string>& arguments);
  ~OpensslServer();
  OpensslServer(const OpensslServer&) = delete;
  OpensslServer& operator=(const OpensslServer&) = delete;
  // 0 when the server did not start.
  int Port() const { return port_; }

 private:
  int pid_ = -1;
  int output_ = -1;
  int port_ = 0;
};

}  // namespace meridian::net::testing
