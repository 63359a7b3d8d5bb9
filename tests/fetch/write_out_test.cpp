#include "write_out.h"

#include <gtest/gtest.h>


#include "progress_bar.h"

namespace meridian::fetch {
namespace {

TEST(ExpandWriteOut, FillsVariablesAndEscapes) {
  TTransferFacts facts;
  facts.http_code = 404;
  facts.size_download = 1234;
  facts.url_effective = "http://h/a?b=%7B";
  facts.time_total = 0.25;
  const struct {
    const char* format;
    const char* expected;
  } cases[] = {
      {"%{http_code}\\n", "404\n"},
      {"%{size_download}\\t%{url_effective}", "1234\thttp://h/a?b=%7B"},
      {"%{time_total}", "0.250000"},
      {"100%% %{unknown} %{http_code", "100% %{unknown} %{http_code"},
      {"\\x\\", "\\x\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, ExpandWriteOut(c.format, facts)) << c.format;
  EXPECT_EQ("000", ExpandWriteOut("%{http_code}", TTransferFacts{}));
}

TEST(TFetchProgressBar, RendersAShareOrAByteCount) {
  TFetchMessageText out;
  TFetchProgressBar bar(out, 20);
  EXPECT_EQ("######         50.0%", bar.Render(50, 100));
  EXPECT_EQ("############# 100.0%", bar.Render(150, 100));  // more than announced
  EXPECT_EQ("            77 bytes", bar.Render(77, -1));  // as wide as the bar
  bar.Begin(100);
  bar.Update(100);
  bar.End();
  EXPECT_EQ("", out.str());  // over within the quiet period: nothing drawn
}

}  // namespace
}  // namespace meridian::fetch
