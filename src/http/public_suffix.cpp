#include "http/public_suffix.h"

#include <string>

#include "rtl/text.h"

#ifdef MERIDIAN_HAVE_LIBPSL
#include <libpsl.h>

#include <memory>

#include "platform/library.h"
#endif

namespace meridian::net {

bool DomainHasNoInnerDot(std::string_view domain) {
  if (domain.size() < 3) return true;
  return domain.substr(1, domain.size() - 2).find('.') == std::string_view::npos;
}

#ifdef MERIDIAN_HAVE_LIBPSL

namespace {

// libpsl, loaded on the first lookup and kept for the life of the process.
// Without the library (or without one of its entries) lookups fall back to
// DomainHasNoInnerDot.
struct TSuffixLibrary {
  std::unique_ptr<platform::TLibrary> library;
  int (*is_public_suffix)(const psl_ctx_t*, const char*) = nullptr;
  // The newest list at hand: the system's copy or the one built into the
  // library. Lookups only read it, from any thread.
  const psl_ctx_t* list = nullptr;
};

const TSuffixLibrary& SuffixLibrary() {
  static const TSuffixLibrary loaded = [] {
    TSuffixLibrary result;
    result.library = platform::TLibrary::Load(MERIDIAN_LIBPSL_NAME);
    if (result.library == nullptr) return result;
    auto latest = result.library->Entry<const psl_ctx_t* (*)(const char*)>("psl_latest");
    auto builtin = result.library->Entry<const psl_ctx_t* (*)()>("psl_builtin");
    result.is_public_suffix =
        result.library->Entry<int (*)(const psl_ctx_t*, const char*)>("psl_is_public_suffix");
    if (result.is_public_suffix == nullptr) return result;
    if (latest != nullptr) result.list = latest(nullptr);
    if (result.list == nullptr && builtin != nullptr) result.list = builtin();
    return result;
  }();
  return loaded;
}

}  // namespace

bool PublicSuffixListInUse() { return SuffixLibrary().list != nullptr; }

bool IsPublicSuffix(std::string_view domain) {
  if (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
  if (domain.empty()) return true;
  const TSuffixLibrary& suffixes = SuffixLibrary();
  if (suffixes.list == nullptr) return DomainHasNoInnerDot(domain);
  // The list is in lower case; a NUL inside would cut the name short.
  if (domain.find('\0') != std::string_view::npos) return true;
  const std::string name = rtl::LowerCase(domain);
  return suffixes.is_public_suffix(suffixes.list, name.c_str()) != 0;
}

#else

bool PublicSuffixListInUse() { return false; }

bool IsPublicSuffix(std::string_view domain) { return DomainHasNoInnerDot(domain); }

#endif

}  // namespace meridian::net
