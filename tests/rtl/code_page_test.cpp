#include "rtl/code_page.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace meridian::rtl {
namespace {

TEST(CodePage, LeadByteRangesOfTheDoubleByteCodePages) {
  struct Case {
    uint32_t cp;
    unsigned char c;
    bool lead;
  };
  const Case cases[] = {
      {platform::kCodePageKorean, 0x80, false},    {platform::kCodePageKorean, 0x81, true},
      {platform::kCodePageKorean, 0xFE, true},     {platform::kCodePageKorean, 0xFF, false},
      {platform::kCodePageEucKr, 0x81, false},     {platform::kCodePageEucKr, 0xA1, true},
      {platform::kCodePageShiftJis, 0x9F, true},   {platform::kCodePageShiftJis, 0xA0, false},
      {platform::kCodePageShiftJis, 0xE0, true},   {platform::kCodePageShiftJis, 0xFD, false},
      {platform::kCodePageUtf8, 0xC3, false},      {platform::kCodePageWestern, 0x81, false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.lead, IsLeadByte(c.cp, c.c)) << c.cp << " " << int{c.c};
}

TEST(CodePage, SettableForTheProcess) {
  const uint32_t saved = CodePage();
  SetCodePage(platform::kCodePageKorean);
  EXPECT_TRUE(HasLeadBytes());
  EXPECT_TRUE(IsLeadByte('\xB0'));
  SetCodePage(platform::kCodePageUtf8);
  EXPECT_FALSE(HasLeadBytes());
  EXPECT_FALSE(IsLeadByte('\xB0'));
  SetCodePage(saved);
}

}  // namespace
}  // namespace meridian::rtl
