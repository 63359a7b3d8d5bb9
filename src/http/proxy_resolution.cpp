#include "http/proxy_resolution.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "net/exceptions.h"
#include "rtl/text.h"

namespace meridian::net {

namespace {

using TAddressBytes = std::array<uint8_t, 16>;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A decimal number of at most `max_digits` digits, the whole text.
std::optional<int32_t> Decimal(std::string_view text, size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  int32_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// "%XX" escapes undone; a "%" without two hex digits stays as it is.
std::string PercentDecoded(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      result += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      result += text[i];
    }
  }
  return result;
}

// A dotted IPv4 address of four decimal parts, into the first four bytes.
bool ParseIPv4(std::string_view text, TAddressBytes& bytes) {
  size_t part = 0;
  while (part < 4) {
    const size_t dot = text.find('.');
    const std::string_view piece = text.substr(0, dot);
    const std::optional<int32_t> value = Decimal(piece, 3);
    if (!value || *value > 255) return false;
    bytes[part++] = static_cast<uint8_t>(*value);
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return part == 4 && text.find('.') == std::string_view::npos;
}

// An IPv6 address in the text form of RFC 4291 section 2.2 (groups of up to
// four hex digits, one "::", a dotted IPv4 tail).
bool ParseIPv6(std::string_view text, TAddressBytes& bytes) {
  std::array<uint16_t, 8> head{};
  std::array<uint16_t, 8> tail{};
  size_t head_count = 0;
  size_t tail_count = 0;
  bool gap = false;
  const size_t double_colon = text.find("::");
  if (double_colon != std::string_view::npos) {
    if (text.find("::", double_colon + 1) != std::string_view::npos) return false;
    gap = true;
  }
  auto parse_groups = [](std::string_view groups, std::array<uint16_t, 8>& out, size_t& count,
                         bool allow_ipv4_tail) -> bool {
    if (groups.empty()) return true;
    while (true) {
      const size_t colon = groups.find(':');
      const std::string_view group = groups.substr(0, colon);
      if (colon == std::string_view::npos && allow_ipv4_tail && group.find('.') != std::string_view::npos) {
        TAddressBytes v4{};
        if (!ParseIPv4(group, v4) || count + 2 > 8) return false;
        out[count++] = static_cast<uint16_t>(v4[0] << 8 | v4[1]);
        out[count++] = static_cast<uint16_t>(v4[2] << 8 | v4[3]);
        return true;
      }
      if (group.empty() || group.size() > 4 || count >= 8) return false;
      uint16_t value = 0;
      for (char c : group) {
        const int digit = HexValue(c);
        if (digit < 0) return false;
        value = static_cast<uint16_t>(value * 16 + digit);
      }
      out[count++] = value;
      if (colon == std::string_view::npos) return true;
      groups.remove_prefix(colon + 1);
    }
  };
  if (gap) {
    if (!parse_groups(text.substr(0, double_colon), head, head_count, false)) return false;
    if (!parse_groups(text.substr(double_colon + 2), tail, tail_count, true)) return false;
    if (head_count + tail_count > 7) return false;
  } else {
    if (!parse_groups(text, head, head_count, true) || head_count != 8) return false;
  }
  std::array<uint16_t, 8> groups{};
  for (size_t i = 0; i < head_count; ++i) groups[i] = head[i];
  for (size_t i = 0; i < tail_count; ++i) groups[8 - tail_count + i] = tail[i];
  for (size_t i = 0; i < 8; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(groups[i] >> 8);
    bytes[2 * i + 1] = static_cast<uint8_t>(groups[i] & 0xff);
  }
  return true;
}

// Whether the first `bits` bits of the two addresses agree.
bool SamePrefix(const TAddressBytes& a, const TAddressBytes& b, int32_t bits) {
  for (int32_t i = 0; i < bits / 8; ++i) {
    if (a[i] != b[i]) return false;
  }
  const int32_t rest = bits % 8;
  if (rest == 0) return true;
  const auto mask = static_cast<uint8_t>(0xff << (8 - rest));
  return (a[bits / 8] & mask) == (b[bits / 8] & mask);
}

enum THostType : uint8_t { htName, htIPv4, htIPv6 };

// Whether the address `host` of `type` matches one no_proxy entry.
bool AddressMatches(std::string_view host, THostType type, const TAddressBytes& address, std::string_view entry) {
  const size_t slash = entry.find('/');
  if (slash == std::string_view::npos) return rtl::SameText(std::string(entry), std::string(host));
  const std::optional<int32_t> bits = Decimal(entry.substr(slash + 1), 3);
  const int32_t width = type == htIPv4 ? 32 : 128;
  if (!bits || *bits > width) return false;
  std::string_view network = entry.substr(0, slash);
  if (network.size() >= 2 && network.front() == '[' && network.back() == ']') {
    network = network.substr(1, network.size() - 2);
  }
  TAddressBytes entry_address{};
  const bool parsed = type == htIPv4 ? ParseIPv4(network, entry_address) : ParseIPv6(network, entry_address);
  return parsed && SamePrefix(address, entry_address, *bits);
}

// Whether the name `host` (trailing dot removed) matches one no_proxy entry.
bool NameMatches(std::string_view host, std::string_view entry) {
  if (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
  if (!entry.empty() && entry.back() == '.') entry.remove_suffix(1);
  if (entry.empty() || entry.size() > host.size()) return false;
  const std::string_view end = host.substr(host.size() - entry.size());
  if (!rtl::SameText(std::string(end), std::string(entry))) return false;
  return end.size() == host.size() || host[host.size() - entry.size() - 1] == '.';
}

std::string_view Authority(std::string_view url) {
  const size_t scheme_end = url.find("://");
  if (scheme_end != std::string_view::npos) url.remove_prefix(scheme_end + 3);
  return url.substr(0, url.find_first_of("/?#"));
}

// The host of an authority "[USER[:PASSWORD]@]HOST[:PORT]" and, in `port`,
// the text after its colon (empty when none).
std::string_view SplitHostPort(std::string_view authority, std::string_view* port) {
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view host = authority;
  std::string_view rest;
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    host = authority.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    rest = close == std::string_view::npos ? std::string_view() : authority.substr(close + 1);
  } else {
    const size_t colon = authority.find(':');
    host = authority.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
  }
  if (port != nullptr) *port = rest.empty() ? rest : rest.substr(1);
  return host;
}

std::string Variable(const std::function<std::string(const char*)>& lookup, const char* lower, const char* upper) {
  std::string value = lookup(lower);
  if (value.empty() && upper != nullptr) value = lookup(upper);
  return value;
}

}  // namespace

TNetProxySettings ProxySettingsFrom(const std::function<std::string(const char* name)>& lookup) {
  TNetProxySettings settings;
  settings.http_proxy = Variable(lookup, "http_proxy", nullptr);
  settings.https_proxy = Variable(lookup, "https_proxy", "HTTPS_PROXY");
  settings.all_proxy = Variable(lookup, "all_proxy", "ALL_PROXY");
  settings.no_proxy = Variable(lookup, "no_proxy", "NO_PROXY");
  return settings;
}

TNetProxySettings ProxySettingsFromEnvironment() {
  return ProxySettingsFrom([](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
  });
}

std::string URLScheme(const std::string& url) {
  const size_t scheme_end = url.find("://");
  return scheme_end == std::string::npos ? std::string("http") : rtl::LowerCase(url.substr(0, scheme_end));
}

std::string URLHost(const std::string& url) { return std::string(SplitHostPort(Authority(url), nullptr)); }

TNetProxyAddress ParseProxyAddress(const std::string& setting) {
  static constexpr std::pair<const char*, TNetProxyKind> kSchemes[] = {
      {"http", pkHTTP},       {"socks4", pkSocks4}, {"socks4a", pkSocks4A},
      {"socks5", pkSocks5},   {"socks5h", pkSocks5Hostname},
  };
  TNetProxyAddress address;
  address.kind = pkHTTP;
  const size_t scheme_end = setting.find("://");
  if (scheme_end != std::string::npos) {
    const std::string scheme = setting.substr(0, scheme_end);
    address.kind = pkNone;
    for (const auto& [name, kind] : kSchemes) {
      if (rtl::SameText(scheme, name)) address.kind = kind;
    }
    if (address.kind == pkNone) throw ENetProxyUnsupportedScheme("Unsupported proxy scheme for '" + setting + "'");
  }
  const std::string_view authority = Authority(setting);
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    const std::string_view user_info = authority.substr(0, at);
    const size_t colon = user_info.find(':');
    address.has_credentials = true;
    address.username = PercentDecoded(user_info.substr(0, colon));
    if (colon != std::string_view::npos) address.password = PercentDecoded(user_info.substr(colon + 1));
  }
  std::string_view port;
  address.host = std::string(SplitHostPort(authority, &port));
  address.port = kDefaultProxyPort;
  if (!port.empty() || authority.ends_with(':')) {
    const std::optional<int32_t> number = Decimal(port, 5);
    if (!number || *number > 65535) {
      throw ENetProxySyntax("Unsupported proxy syntax in '" + setting + "'");
    }
    address.port = *number;
  }
  if (address.host.empty()) throw ENetProxySyntax("Unsupported proxy syntax in '" + setting + "'");
  return address;
}

bool ProxyBypassed(const std::string& host_text, const std::string& no_proxy) {
  if (no_proxy.empty()) return false;
  if (no_proxy == "*") return true;
  std::string_view host = host_text;
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  TAddressBytes address{};
  THostType type = htName;
  if (ParseIPv4(host, address)) {
    type = htIPv4;
  } else if (host.find(':') != std::string_view::npos && ParseIPv6(host, address)) {
    type = htIPv6;
  } else if (!host.empty() && host.back() == '.') {
    host.remove_suffix(1);
  }
  if (host.empty()) return false;

  std::string_view list = no_proxy;
  constexpr std::string_view kSeparators = ", \t";
  while (!list.empty()) {
    const size_t start = list.find_first_not_of(kSeparators);
    if (start == std::string_view::npos) break;
    list.remove_prefix(start);
    const size_t end = list.find_first_of(kSeparators);
    const std::string_view entry = list.substr(0, end);
    list.remove_prefix(entry.size());
    const bool match = type == htName ? NameMatches(host, entry) : AddressMatches(host, type, address, entry);
    if (match) return true;
  }
  return false;
}

TNetProxyAddress ResolveProxy(const std::string& url, const TNetProxySettings& settings) {
  const std::string scheme = URLScheme(url);
  const std::string* own = scheme == "http" ? &settings.http_proxy : scheme == "https" ? &settings.https_proxy : nullptr;
  if (own == nullptr) return {};
  const std::string& chosen = own->empty() ? settings.all_proxy : *own;
  // no_proxy is weighed first: a host reached directly never needs the
  // setting, so an unusable one does not fail its requests.
  if (chosen.empty() || ProxyBypassed(URLHost(url), settings.no_proxy)) return {};
  return ParseProxyAddress(chosen);
}

}  // namespace meridian::net
