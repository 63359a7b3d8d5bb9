#include "platform/code_page.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace meridian::platform {

namespace {

std::string Normalised(const char* name) {
  std::string out;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p != '-' && *p != '_') out += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
  return out;
}

// The character set of the environment's locale for LC_CTYPE, when its name
// tells it: "" for the C locale, the part after "." in "en_US.UTF-8". Empty
// optional when only the locale's own files can tell (an alias such as
// "japanese"). Reading the name spares loading the locale at every start.
std::optional<std::string> CodeSetFromName() {
  const char* name = nullptr;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    name = std::getenv(variable);
    if (name != nullptr && *name != '\0') break;
  }
  const std::string_view locale = name != nullptr ? name : "";
  if (locale.empty() || locale == "C" || locale == "POSIX") return std::string();
  const size_t dot = locale.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const std::string_view set = locale.substr(dot + 1, locale.find('@', dot) - dot - 1);
  if (set.empty()) return std::nullopt;
  return Normalised(std::string(set).c_str());
}

}  // namespace

uint32_t AnsiCodePage() {
  std::string set;
  if (std::optional<std::string> named = CodeSetFromName()) {
    set = named->empty() ? "ASCII" : *named;
  } else {
    // A locale object of our own, so the process's global locale stays as it is.
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) return kCodePageWestern;
    set = Normalised(nl_langinfo_l(CODESET, loc));
    freelocale(loc);
  }

  if (set == "UTF8") return kCodePageUtf8;
  if (set == "CP949" || set == "UHC") return kCodePageKorean;
  if (set == "EUCKR") return kCodePageEucKr;
  if (set == "BIG5" || set == "BIG5HKSCS" || set == "CP950") return kCodePageBig5;
  if (set == "GBK" || set == "GB2312" || set == "CP936" || set == "GB18030") return kCodePageGbk;
  if (set == "SHIFTJIS" || set == "SJIS" || set == "CP932") return kCodePageShiftJis;
  if (set == "ANSIX3.41968" || set == "ASCII") return kCodePageAscii;
  return kCodePageWestern;
}

}  // namespace meridian::platform
