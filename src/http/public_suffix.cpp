#include "http/public_suffix.h"

#include <string>

#include "rtl/text.h"

#ifdef MERIDIAN_HAVE_LIBPSL
#include <libpsl.h>
#endif

namespace meridian::net {

bool DomainHasNoInnerDot(std::string_view domain) {
  if (domain.size() < 3) return true;
  return domain.substr(1, domain.size() - 2).find('.') == std::string_view::npos;
}

#ifdef MERIDIAN_HAVE_LIBPSL

namespace {

// The newest list at hand: the system's copy or the one built into the
// library. Loaded once and kept for the life of the process; lookups only
// read it, from any thread.
const psl_ctx_t* SuffixList() {
  static const psl_ctx_t* const list = [] {
    const psl_ctx_t* loaded = psl_latest(nullptr);
    return loaded != nullptr ? loaded : psl_builtin();
  }();
  return list;
}

}  // namespace

bool PublicSuffixListInUse() { return SuffixList() != nullptr; }

bool IsPublicSuffix(std::string_view domain) {
  if (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
  if (domain.empty()) return true;
  const psl_ctx_t* list = SuffixList();
  if (list == nullptr) return DomainHasNoInnerDot(domain);
  // The list is in lower case; a NUL inside would cut the name short.
  if (domain.find('\0') != std::string_view::npos) return true;
  const std::string name = rtl::LowerCase(domain);
  return psl_is_public_suffix(list, name.c_str()) != 0;
}

#else

bool PublicSuffixListInUse() { return false; }

bool IsPublicSuffix(std::string_view domain) { return DomainHasNoInnerDot(domain); }

#endif

}  // namespace meridian::net
