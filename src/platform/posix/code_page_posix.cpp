#include "platform/code_page.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <string>

namespace meridian::platform {

namespace {

std::string Normalised(const char* name) {
  std::string out;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p != '-' && *p != '_') out += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
  return out;
}

}  // namespace

uint32_t AnsiCodePage() {
  // A locale object of our own, so the process's global locale stays as it is.
  locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return kCodePageWestern;
  const std::string set = Normalised(nl_langinfo_l(CODESET, loc));
  freelocale(loc);

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
