// The command line of meridian-fetch: what each option sets, the help text
// and the version text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace meridian::fetch {

// The SOCKS proxy of --socks4, --socks4a and --socks5-hostname.
enum TFetchSocks : uint8_t { fsNone, fsSocks4, fsSocks4A, fsSocks5Hostname };

// The schemes that may answer a server's challenge: --basic (and the
// default), --digest, --anyauth (the strongest the server offers).
enum TFetchAuth : uint8_t { faBasic, faDigest, faAny };

// Everything the command line asks for. Time-outs are in seconds; 0 means no
// limit.
struct TFetchOptions {
  std::vector<std::string> urls;
  std::string output_file;               // -o; empty: standard output
  bool include = false;                  // -i: each status line and head before its body
  bool head = false;                     // -I: HEAD, the head only
  std::string method;                    // -X: the method word; empty: chosen by the options
  std::vector<std::string> data;         // -d: each TEXT or @FILE, joined by "&"
  std::string upload_file;               // -T: PUT this file
  std::vector<std::string> headers;      // -H: "Name: value", in order
  std::optional<std::string> user_agent;  // -A
  std::optional<std::string> referer;     // -e
  bool follow = false;                   // -L
  bool post301 = false;                  // --post301: a POST stays a POST after a 301
  bool post302 = false;                  // --post302
  bool post303 = false;                  // --post303
  int32_t max_redirects = 50;            // --max-redirs; -1: no bound
  bool http10 = false;                   // -0
  std::string proxy;                     // -x: [SCHEME://][user:password@]HOST[:PORT]
  bool proxy_set = false;                // -x given; with an empty value: no proxy at all
  std::optional<std::string> noproxy;    // --noproxy: in place of no_proxy
  std::optional<std::string> user;        // -u: USER[:PASSWORD] answering a server's 401
  bool basic = false;                    // --basic: send the -u credentials unasked
  TFetchAuth auth = faBasic;             // the last of --basic, --digest and --anyauth wins
  bool compressed = false;               // --compressed: ask for gzip and deflate, decode them
  TFetchSocks socks = fsNone;            // the last of -x and the SOCKS options wins
  std::string socks_host;                // --socks4, --socks4a, --socks5-hostname: HOST[:PORT]
  int32_t socks_port = 1080;
  std::optional<std::string> proxy_user;  // -U: USER[:PASSWORD] for a proxy's 407 or SOCKS
  int32_t ip_version = 0;                // -4, -6: 4 or 6 (the last one counts); 0: either
  double connect_timeout = 0;            // --connect-timeout
  double read_timeout = 0;               // --read-timeout
  double max_time = 0;                   // -m: deadline for the whole run
  std::string cookie_file;               // -b: cookies to load
  std::string cookie_jar;                // -c: where the cookies go at the end
  bool fail = false;                     // -f
  bool silent = false;                   // -s
  bool verbose = false;                  // -v
  bool progress_bar = false;             // -#
  std::string write_out;                 // -w
  bool insecure = false;                 // -k: no verification of the server's certificate
  std::string ca_file;                   // --cacert: trusted CAs (PEM)
  std::string ca_path;                   // --capath: folder of trusted CAs (hashed names)
  std::string cert_file;                 // -E: own certificate (PEM), with its key unless --key
  std::string key_file;                  // --key: own private key (PEM)
  std::string ciphers;                   // --ciphers: OpenSSL cipher list
  bool help = false;                     // -h
  bool version = false;                  // --version
};

// A command line that cannot be used: the message names the option.
class EFetchUsage : public std::exception {
 public:
  explicit EFetchUsage(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Reads the arguments after the program name. Short options may be grouped
// ("-sL") and take their value attached ("-ofile") or as the next argument;
// "--" ends the options. Every argument that is no option is a URL.
// Throws EFetchUsage for an unknown option, a missing or unreadable value, a
// header or method with a line break, or (unless -h or --version is given)
// no URL.
TFetchOptions ParseFetchOptions(const std::vector<std::string>& args);

// Seconds as whole milliseconds for the transport's time-outs, at least 1 for
// a positive value and at most the largest 32-bit count; 0 stays 0.
int32_t SecondsToMilliseconds(double seconds);

const std::string& FetchHelpText();
// The program's and the library's version and, when OpenSSL can be loaded,
// its version.
std::string FetchVersionText();

}  // namespace meridian::fetch
