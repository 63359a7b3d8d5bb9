#include "platform/code_page.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

namespace meridian::platform {
namespace {

// Sets or clears one environment variable for the life of the object.
class TScopedVariable {
 public:
  TScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~TScopedVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The locale's name decides where it tells the character set; LC_ALL before
// LC_CTYPE before LANG, an empty value counting as unset.
TEST(AnsiCodePage, FollowsTheEnvironmentsLocale) {
  const struct {
    const char* lc_all;
    const char* lc_ctype;
    const char* lang;
    uint32_t code_page;
  } cases[] = {
      {nullptr, nullptr, nullptr, kCodePageAscii},
      {"C", nullptr, "en_US.UTF-8", kCodePageAscii},
      {"POSIX", nullptr, nullptr, kCodePageAscii},
      {nullptr, nullptr, "C.UTF-8", kCodePageUtf8},
      {nullptr, nullptr, "en_US.utf8", kCodePageUtf8},
      {"", "", "de_DE.UTF-8@euro", kCodePageUtf8},
      {nullptr, "ko_KR.EUC-KR", "C", kCodePageEucKr},
      {"ja_JP.SJIS", "C", "C", kCodePageShiftJis},
      {nullptr, nullptr, "zh_CN.gb18030", kCodePageGbk},
      {nullptr, nullptr, "zh_TW.Big5", kCodePageBig5},
      {nullptr, nullptr, "en_US.ISO-8859-1", kCodePageWestern},
      {nullptr, nullptr, "en_US.", kCodePageWestern},
      // No character set in the name and no such locale: nothing with lead bytes.
      {nullptr, nullptr, "xx_NOWHERE", kCodePageWestern},
  };
  for (const auto& c : cases) {
    TScopedVariable all("LC_ALL", c.lc_all);
    TScopedVariable ctype("LC_CTYPE", c.lc_ctype);
    TScopedVariable lang("LANG", c.lang);
    EXPECT_EQ(c.code_page, AnsiCodePage())
        << (c.lc_all ? c.lc_all : "-") << " " << (c.lc_ctype ? c.lc_ctype : "-") << " " << (c.lang ? c.lang : "-");
  }
}

}  // namespace
}  // namespace meridian::platform
