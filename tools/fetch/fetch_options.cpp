// Option table and parsing of the meridian-fetch command line.
#include "fetch_options.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <string_view>

#include "coders/inflate_stream.h"
#include "net/version.h"
#include "transport/tls/openssl_binding.h"

namespace meridian::fetch {

namespace {

using Setter = std::function<void(TFetchOptions&, const std::string&)>;

struct OptionSpec {
  char short_name;  // 0: long form only
  const char* long_name;
  bool takes_value;
  Setter set;
};

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

double ParseSeconds(const std::string& option, const std::string& value) {
  double seconds = 0;
  const char* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, seconds);
  if (value.empty() || ec != std::errc() || ptr != end || !std::isfinite(seconds) || seconds < 0) {
    throw EFetchUsage("option " + option + ": expected a proper numerical parameter");
  }
  return seconds;
}

int32_t ParseCount(const std::string& option, const std::string& value) {
  int32_t count = 0;
  const char* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, count);
  if (value.empty() || ec != std::errc() || ptr != end || count < -1) {
    throw EFetchUsage("option " + option + ": expected a proper numerical parameter");
  }
  return count;
}

// HOST[:PORT] of a SOCKS proxy, an IPv6 address in brackets; the port
// defaults to 1080.
void SetSocksProxy(TFetchOptions& o, TFetchSocks socks, const std::string& option, const std::string& value) {
  const std::string shown = "option " + option + ": expected HOST[:PORT]";
  std::string host = value;
  int32_t port = 1080;
  size_t colon = value.rfind(':');
  const size_t close = value.starts_with("[") ? value.find(']') : std::string::npos;
  if (close != std::string::npos) {
    if (close + 1 < value.size() && value[close + 1] != ':') throw EFetchUsage(shown);
    colon = close + 1 < value.size() ? close + 1 : std::string::npos;
    host = value.substr(1, close - 1);
    if (host.empty() || host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) {
      throw EFetchUsage(shown);
    }
  }
  if (colon != std::string::npos) {
    const std::string port_text = value.substr(colon + 1);
    const char* end = port_text.data() + port_text.size();
    const auto [ptr, ec] = std::from_chars(port_text.data(), end, port);
    if (port_text.empty() || ec != std::errc() || ptr != end || port < 1 || port > 65535) throw EFetchUsage(shown);
    if (close == std::string::npos) host.erase(colon);
  }
  if (close == std::string::npos && (host.empty() || host.find_first_of(":/@ \t\r\n") != std::string::npos)) {
    throw EFetchUsage(shown);
  }
  o.proxy.clear();
  o.proxy_set = false;
  o.socks = socks;
  o.socks_host = host;
  o.socks_port = port;
}

const std::vector<OptionSpec>& Options() {
  static const std::vector<OptionSpec> options = {
      {'o', "output", true, [](TFetchOptions& o, const std::string& v) { o.output_file = v; }},
      {'i', "include", false, [](TFetchOptions& o, const std::string&) { o.include = true; }},
      {'I', "head", false, [](TFetchOptions& o, const std::string&) { o.head = true; }},
      {'X', "request", true,
       [](TFetchOptions& o, const std::string& v) {
         if (v.empty() || v.find_first_of(" \t\r\n") != std::string::npos) {
           throw EFetchUsage("option --request: not a method word");
         }
         o.method = v;
       }},
      {'d', "data", true, [](TFetchOptions& o, const std::string& v) { o.data.push_back(v); }},
      {'T', "upload-file", true, [](TFetchOptions& o, const std::string& v) { o.upload_file = v; }},
      {'H', "header", true,
       [](TFetchOptions& o, const std::string& v) {
         if (HasLineBreak(v)) throw EFetchUsage("option --header: a header must not hold a line break");
         if (v.find(':') == std::string::npos) throw EFetchUsage("option --header: expected \"Name: value\"");
         o.headers.push_back(v);
       }},
      {'A', "user-agent", true,
       [](TFetchOptions& o, const std::string& v) {
         if (HasLineBreak(v)) throw EFetchUsage("option --user-agent: must not hold a line break");
         o.user_agent = v;
       }},
      {'e', "referer", true,
       [](TFetchOptions& o, const std::string& v) {
         if (HasLineBreak(v)) throw EFetchUsage("option --referer: must not hold a line break");
         o.referer = v;
       }},
      {'L', "location", false, [](TFetchOptions& o, const std::string&) { o.follow = true; }},
      {0, "post301", false, [](TFetchOptions& o, const std::string&) { o.post301 = true; }},
      {0, "post302", false, [](TFetchOptions& o, const std::string&) { o.post302 = true; }},
      {0, "post303", false, [](TFetchOptions& o, const std::string&) { o.post303 = true; }},
      {0, "max-redirs", true,
       [](TFetchOptions& o, const std::string& v) { o.max_redirects = ParseCount("--max-redirs", v); }},
      {'0', "http1.0", false, [](TFetchOptions& o, const std::string&) { o.http10 = true; }},
      {'x', "proxy", true,
       [](TFetchOptions& o, const std::string& v) {
         o.proxy = v;
         o.proxy_set = true;
         o.socks = fsNone;
       }},
      {0, "noproxy", true, [](TFetchOptions& o, const std::string& v) { o.noproxy = v; }},
      {0, "socks4", true, [](TFetchOptions& o, const std::string& v) { SetSocksProxy(o, fsSocks4, "--socks4", v); }},
      {0, "socks4a", true,
       [](TFetchOptions& o, const std::string& v) { SetSocksProxy(o, fsSocks4A, "--socks4a", v); }},
      {0, "socks5-hostname", true,
       [](TFetchOptions& o, const std::string& v) { SetSocksProxy(o, fsSocks5Hostname, "--socks5-hostname", v); }},
      {'4', "ipv4", false, [](TFetchOptions& o, const std::string&) { o.ip_version = 4; }},
      {'6', "ipv6", false, [](TFetchOptions& o, const std::string&) { o.ip_version = 6; }},
      {'u', "user", true, [](TFetchOptions& o, const std::string& v) { o.user = v; }},
      {0, "basic", false,
       [](TFetchOptions& o, const std::string&) {
         o.basic = true;
         o.auth = faBasic;
       }},
      {0, "digest", false,
       [](TFetchOptions& o, const std::string&) {
         o.basic = false;
         o.auth = faDigest;
       }},
      {0, "anyauth", false,
       [](TFetchOptions& o, const std::string&) {
         o.basic = false;
         o.auth = faAny;
       }},
      {0, "compressed", false,
       [](TFetchOptions& o, const std::string&) {
         // A build without zlib knows the option but cannot keep it.
         if (!net::TNetInflateStream::Available()) {
           throw EFetchUsage("option --compressed: this build has no content decoding (zlib)");
         }
         o.compressed = true;
       }},
      {'U', "proxy-user", true, [](TFetchOptions& o, const std::string& v) { o.proxy_user = v; }},
      {0, "connect-timeout", true,
       [](TFetchOptions& o, const std::string& v) { o.connect_timeout = ParseSeconds("--connect-timeout", v); }},
      {0, "read-timeout", true,
       [](TFetchOptions& o, const std::string& v) { o.read_timeout = ParseSeconds("--read-timeout", v); }},
      {'m', "max-time", true,
       [](TFetchOptions& o, const std::string& v) { o.max_time = ParseSeconds("--max-time", v); }},
      {'b', "cookie", true, [](TFetchOptions& o, const std::string& v) { o.cookie_file = v; }},
      {'c', "cookie-jar", true, [](TFetchOptions& o, const std::string& v) { o.cookie_jar = v; }},
      {'f', "fail", false, [](TFetchOptions& o, const std::string&) { o.fail = true; }},
      {'s', "silent", false, [](TFetchOptions& o, const std::string&) { o.silent = true; }},
      {'v', "verbose", false, [](TFetchOptions& o, const std::string&) { o.verbose = true; }},
      {'#', "progress-bar", false, [](TFetchOptions& o, const std::string&) { o.progress_bar = true; }},
      {'w', "write-out", true, [](TFetchOptions& o, const std::string& v) { o.write_out = v; }},
      {'k', "insecure", false, [](TFetchOptions& o, const std::string&) { o.insecure = true; }},
      {0, "cacert", true, [](TFetchOptions& o, const std::string& v) { o.ca_file = v; }},
      {0, "capath", true, [](TFetchOptions& o, const std::string& v) { o.ca_path = v; }},
      {'E', "cert", true, [](TFetchOptions& o, const std::string& v) { o.cert_file = v; }},
      {0, "key", true, [](TFetchOptions& o, const std::string& v) { o.key_file = v; }},
      {0, "ciphers", true, [](TFetchOptions& o, const std::string& v) { o.ciphers = v; }},
      {'h', "help", false, [](TFetchOptions& o, const std::string&) { o.help = true; }},
      {0, "version", false, [](TFetchOptions& o, const std::string&) { o.version = true; }},
  };
  return options;
}

const OptionSpec* FindLong(std::string_view name) {
  for (const OptionSpec& spec : Options()) {
    if (name == spec.long_name) return &spec;
  }
  return nullptr;
}

const OptionSpec* FindShort(char name) {
  for (const OptionSpec& spec : Options()) {
    if (spec.short_name != 0 && spec.short_name == name) return &spec;
  }
  return nullptr;
}

}  // namespace

TFetchOptions ParseFetchOptions(const std::vector<std::string>& args) {
  TFetchOptions options;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      options.urls.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    auto take_value = [&](const std::string& shown) -> std::string {
      if (i + 1 >= args.size()) throw EFetchUsage("option " + shown + ": requires parameter");
      return args[++i];
    };
    if (arg[1] == '-') {
      const OptionSpec* spec = FindLong(std::string_view(arg).substr(2));
      if (spec == nullptr) throw EFetchUsage("option " + arg + ": is unknown");
      spec->set(options, spec->takes_value ? take_value(arg) : std::string());
      continue;
    }
    // A group of short options; one that takes a value ends the group and
    // takes the rest of the argument, or the next argument.
    for (size_t k = 1; k < arg.size(); ++k) {
      const std::string shown = std::string("-") + arg[k];
      const OptionSpec* spec = FindShort(arg[k]);
      if (spec == nullptr) throw EFetchUsage("option " + shown + ": is unknown");
      if (!spec->takes_value) {
        spec->set(options, std::string());
        continue;
      }
      spec->set(options, k + 1 < arg.size() ? arg.substr(k + 1) : take_value(shown));
      break;
    }
  }
  if (options.urls.empty() && !options.help && !options.version) throw EFetchUsage("no URL specified");
  return options;
}

int32_t SecondsToMilliseconds(double seconds) {
  if (seconds <= 0) return 0;
  const double ms = std::ceil(seconds * 1000.0);
  if (ms >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(ms);
}

const std::string& FetchHelpText() {
  static const std::string text =
      "Usage: meridian-fetch [options] URL [URL ...]\n"
      "Fetches each URL in turn over one client, reusing a kept-alive connection,\n"
      "and writes the bodies one after another to the output.\n"
      "\n"
      " -o, --output FILE        Write to FILE instead of standard output\n"
      " -i, --include            Write the status line and headers before each body\n"
      " -I, --head               Send HEAD and write the status line and headers only\n"
      " -X, --request METHOD     Method word: GET, HEAD, POST, PUT, OPTIONS, TRACE, DELETE\n"
      " -d, --data TEXT|@FILE    POST TEXT, or FILE's content without its line breaks;\n"
      "                          given more than once, the pieces are joined by \"&\"\n"
      " -T, --upload-file FILE   PUT FILE (a URL ending in \"/\" gets FILE's name added)\n"
      " -H, --header \"N: V\"      Send this header line (repeatable); a known name\n"
      "                          replaces the default, \"N:\" alone removes it\n"
      " -A, --user-agent TEXT    User-Agent to send\n"
      " -e, --referer URL        Referer to send\n"
      " -L, --location           Follow redirects; a 303 turns the method into GET\n"
      "                          (HEAD stays), a 301 or 302 turns POST into GET, the\n"
      "                          body going with it; 307 and 308 send both again\n"
      "     --post301            Keep POST (and its body) after a 301\n"
      "     --post302            Keep POST (and its body) after a 302\n"
      "     --post303            Keep POST (and its body) after a 303\n"
      "     --max-redirs N       Follow at most N redirects (default 50; -1: no bound)\n"
      " -0, --http1.0            Use HTTP/1.0\n"
      "     --compressed         Ask for a compressed body (gzip, deflate) and write\n"
      "                          it decoded\n"
      " -x, --proxy [SCHEME://][USER:PASSWORD@]HOST[:PORT]\n"
      "                          Go through this proxy: SCHEME http (the default),\n"
      "                          socks4, socks4a, socks5 or socks5h; port 1080 when\n"
      "                          none is given. \"\" goes without any proxy. Without\n"
      "                          -x the variables http_proxy, https_proxy (or\n"
      "                          HTTPS_PROXY) and all_proxy (or ALL_PROXY) name the\n"
      "                          proxy by URL scheme, and no_proxy (or NO_PROXY)\n"
      "                          the hosts reached without one\n"
      "     --noproxy LIST       Reach these hosts without a proxy, in place of\n"
      "                          no_proxy: names (a domain covers its subdomains),\n"
      "                          addresses, ADDRESS/BITS, or \"*\" for all\n"
      " -u, --user USER:PASSWORD Answer the server's authentication challenge (401)\n"
      "                          with these credentials (Basic unless --digest or\n"
      "                          --anyauth); a host that a redirect leads to gets none\n"
      "     --basic              Send the -u credentials with the first request,\n"
      "                          without waiting for a challenge\n"
      "     --digest             Answer the challenge with Digest authentication\n"
      "                          (MD5 or SHA-256; needs OpenSSL) instead of Basic\n"
      "     --anyauth            Answer with the strongest scheme the server offers\n"
      "                          (Digest before Basic)\n"
      "     --socks4 HOST[:PORT] Go through this SOCKS 4 proxy (port 1080 when none\n"
      "                          is given); the target's name is resolved here\n"
      "     --socks4a HOST[:PORT]\n"
      "                          Go through this SOCKS 4A proxy; it resolves the name\n"
      "     --socks5-hostname HOST[:PORT]\n"
      "                          Go through this SOCKS 5 proxy; it resolves the name\n"
      "                          (the last of -x and the SOCKS options counts)\n"
      " -U, --proxy-user USER:PASSWORD\n"
      "                          Credentials for the proxy: they answer an HTTP\n"
      "                          proxy's challenge (407, Basic), or are the SOCKS 5\n"
      "                          user name and password; the user name alone is\n"
      "                          the SOCKS 4 user id\n"
      " -4, --ipv4               Connect over IPv4 only\n"
      " -6, --ipv6               Connect over IPv6 only (by default every address of\n"
      "                          the host is tried in turn until one answers)\n"
      "     --connect-timeout S  Seconds allowed for connecting (fractions allowed)\n"
      "     --read-timeout S     Seconds allowed for each wait for data\n"
      " -m, --max-time S         Seconds allowed for the whole run\n"
      " -b, --cookie FILE        Load cookies from FILE (Netscape cookie file; a\n"
      "                          missing file is ignored)\n"
      " -c, --cookie-jar FILE    Save the cookies to FILE at the end\n"
      " -f, --fail               Fail with exit code 22 on an HTTP status of 400 or more\n"
      "                          (a 401 or 407 left unanswered included), writing no\n"
      "                          error page\n"
      " -s, --silent             Write no error message\n"
      " -v, --verbose            Connection events, TLS states and cipher, and the\n"
      "                          heads sent and received, on standard error\n"
      " -#, --progress-bar       A progress bar on standard error for longer transfers\n"
      " -w, --write-out FORMAT   Write FORMAT to standard output after each transfer:\n"
      "                          %{http_code}, %{size_download}, %{url_effective},\n"
      "                          %{time_total}, %% and \\n, \\r, \\t\n"
      " -k, --insecure           Accept any server certificate (https); by default the\n"
      "                          server's certificate must be issued by a trusted CA\n"
      "                          and name the host\n"
      "     --cacert FILE        Trust the CA certificates in FILE (PEM) instead of\n"
      "                          the system's\n"
      "     --capath DIR         Trust the CA certificates in DIR (OpenSSL's hashed\n"
      "                          names) instead of the system's\n"
      " -E, --cert FILE          Client certificate (PEM); its key too unless --key\n"
      "     --key FILE           The client certificate's private key (PEM)\n"
      "     --ciphers LIST       OpenSSL cipher list for TLS 1.2 (TLS 1.2 and later are\n"
      "                          spoken; OpenSSL must be installed for https)\n"
      " -h, --help               This help\n"
      "     --version            Version\n"
      "\n"
      "Exit codes: 0 success, 1 unsupported protocol, 2 bad command line, 3 malformed\n"
      "URL, 5 proxy not resolved or proxy setting unusable, 6 host not resolved,\n"
      "7 could not connect (or proxy scheme unsupported), 8 invalid response,\n"
      "18 partial body, 22 HTTP error with -f, 23 output not writable, 26 local file\n"
      "unreadable, 28 timed out, 35 TLS handshake failed (or OpenSSL missing),\n"
      "47 too many redirects, 52 nothing received, 55 send failure, 56 receive\n"
      "failure, 58 client certificate or key unusable, 59 cipher list refused,\n"
      "60 server certificate not verified, 61 compressed body corrupt or cut short,\n"
      "65 body not sent again for a redirect (stream cannot rewind), 77 CA file\n"
      "unreadable, 97 proxy handshake refused.\n"
      "With several URLs a failed one is reported and the next one fetched; the\n"
      "exit code is the first failure's.\n";
  return text;
}

std::string FetchVersionText() {
  std::string text = std::string("meridian-fetch ") + net::kLibraryVersion + " (Meridian network library " +
                     net::kLibraryVersion + ")\n";
  // OpenSSL is loaded here only to name it; without it the line is left out
  // and everything but https works as before.
  if (net::TNetOpenSSL::Load() && net::OpenSSL().OpenSSL_version != nullptr) {
    text += std::string("TLS: ") + net::OpenSSL().OpenSSL_version(OPENSSL_VERSION) + "\n";
  }
  text += "Protocols: http https\n";
  return text;
}

}  // namespace meridian::fetch
