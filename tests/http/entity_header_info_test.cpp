#include "http/entity_header_info.h"

#include <gtest/gtest.h>

#include <vector>

#include "http/request_header_info.h"
#include "rtl/exceptions.h"
#include "rtl/text.h"
#include "zone_scope.h"

namespace meridian::net {
namespace {

using testing::kNineEast;
using testing::ZoneScope;

void SetWire(TNetEntityHeaderInfo& record, std::initializer_list<const char*> lines) {
  record.WireHeaders().Clear();
  for (const char* line : lines) record.WireHeaders().Add(line);
}

TEST(TNetEntityHeaderInfo, ContentLengthRules) {
  const struct {
    const char* line;
    int32_t length;
    bool known;
  } cases[] = {
      {"Content-Length: 0", 0, true},
      {"Content-Length: 42", 42, true},
      {"Content-Length:  42  ", 42, true},
      {"Content-Length: abc", -1, false},
      {"Content-Length: -5", -1, false},
      {"Content-Length: 0x10", -1, false},
      {"Content-Length: 2147483647", 2147483647, true},
      {"Content-Length: 2147483648", -1, false},
      {"X-Other: 1", -1, false},
  };
  for (const auto& c : cases) {
    TNetEntityHeaderInfo record;
    SetWire(record, {c.line});
    record.ParseHeaders();
    EXPECT_EQ(c.length, record.ContentLength()) << c.line;
    EXPECT_EQ(c.known, record.LengthKnown()) << c.line;
  }
}

TEST(TNetEntityHeaderInfo, ClearResetsTheLengthButNotLengthKnown) {
  TNetEntityHeaderInfo record;
  record.SetContentLength(10);
  record.SetPragma("no-cache");
  record.SetCacheControl("no-store");
  record.CustomHeaders().Add("X-A: 1");
  record.SetContentType("image/png");
  record.WireHeaders().Add("X: y");
  record.Clear();
  EXPECT_EQ(-1, record.ContentLength());
  EXPECT_TRUE(record.LengthKnown());
  EXPECT_EQ("text/html", record.ContentType());
  EXPECT_EQ(0, record.WireHeaders().Count());
  EXPECT_EQ("no-cache", record.Pragma());
  EXPECT_EQ("no-store", record.CacheControl());
  EXPECT_EQ(1, record.CustomHeaders().Count());
  record.SetContentLength(-1);
  EXPECT_FALSE(record.LengthKnown());
}

TEST(TNetEntityHeaderInfo, ParsesTextFieldsAndDates) {
  const ZoneScope zone(kNineEast);
  TNetEntityHeaderInfo record;
  SetWire(record, {"connection: close", "Content-Type: text/plain", "Content-Encoding: gzip",
                   "Content-Language: ko", "Content-Version: 2", "Pragma: no-cache",
                   "Date: Thu, 01 Dec 1994 16:00:00 GMT", "Last-Modified: garbage",
                   "Expires: Thu, 01 Dec 1994 16:00:00 +0100"});
  record.ParseHeaders();
  EXPECT_EQ("close", record.Connection());
  EXPECT_EQ("text/plain", record.ContentType());
  EXPECT_EQ("gzip", record.ContentEncoding());
  EXPECT_EQ("ko", record.ContentLanguage());
  EXPECT_EQ("2", record.ContentVersion());
  EXPECT_EQ("no-cache", record.Pragma());
  // 16:00 UTC is 01:00 the next day nine hours east.
  EXPECT_DOUBLE_EQ(rtl::EncodeDate(1994, 12, 2) + rtl::EncodeTime(1, 0, 0, 0), record.Date());
  EXPECT_DOUBLE_EQ(rtl::EncodeDate(1994, 12, 2), record.Expires());
  EXPECT_EQ(0, record.LastModified());  // unreadable: no date, not the zone offset

  // Absent headers empty the fields again.
  SetWire(record, {});
  record.ParseHeaders();
  EXPECT_EQ("", record.Connection());
  EXPECT_EQ("", record.ContentType());
  EXPECT_EQ(0, record.Date());
  EXPECT_EQ(0, record.Expires());
}

TEST(TNetEntityHeaderInfo, ExpiresNumbersCountFromNow) {
  const struct {
    const char* line;
    double seconds;  // from now; negative for "no date"
  } cases[] = {
      {"Expires: 0", 0},
      {"Expires: 60", 60},
      {"Expires: 99999999", 99999999},  // more than a day: no encoding error
      {"Expires: -1", -1},
      {"Expires: -7", -1},
      {"Expires: 999999999999999", -1},
  };
  for (const auto& c : cases) {
    TNetEntityHeaderInfo record;
    SetWire(record, {c.line});
    const rtl::TDateTime before = rtl::Now();
    ASSERT_NO_THROW(record.ParseHeaders()) << c.line;
    const rtl::TDateTime after = rtl::Now();
    if (c.seconds < 0) {
      EXPECT_EQ(0, record.Expires()) << c.line;
    } else {
      const double offset = c.seconds / rtl::kSecondsPerDay;
      EXPECT_GE(record.Expires(), before + offset - 1e-9) << c.line;
      EXPECT_LE(record.Expires(), after + offset + 1e-9) << c.line;
    }
  }
}

TEST(TNetEntityHeaderInfo, ComposesFieldsInOrderThenCustomLines) {
  const ZoneScope zone(kNineEast);
  TNetEntityHeaderInfo record;
  record.SetConnection("keep-alive");
  record.SetContentVersion("1");
  record.SetContentEncoding("gzip");
  record.SetContentLanguage("en");
  record.SetContentLength(0);
  record.SetCacheControl("no-cache");
  record.SetDate(rtl::EncodeDate(2026, 12, 8) + rtl::EncodeTime(13, 5, 9, 0));
  record.SetExpires(rtl::EncodeDate(2026, 12, 9));
  record.SetLastModified(rtl::EncodeDate(2026, 12, 1));  // sent by requests only
  record.SetPragma("no-cache");
  record.CustomHeaders().Add("X-A: 1");
  record.CustomHeaders().Add("Pragma: again");
  record.ComposeHeaders();
  const std::vector<std::string> expected = {
      "Connection: keep-alive",
      "Content-Version: 1",
      "Content-Encoding: gzip",
      "Content-Language: en",
      "Content-Type: text/html",
      "Content-Length: 0",
      "Cache-control: no-cache",
      "Date: Tue, 8 Dec 2026 13:05:09 +0900",
      "Expires: Wed, 9 Dec 2026 00:00:00 +0900",
      "Pragma: no-cache",
      "X-A: 1",
      "Pragma: again",
  };
  EXPECT_EQ(expected, record.WireHeaders().Lines());

  // Composing starts over; an empty content type and a length of -1 add nothing.
  record.SetContentType("");
  record.SetContentLength(-1);
  record.ComposeHeaders();
  EXPECT_EQ(-1, record.WireHeaders().FindName("Content-Type"));
  EXPECT_EQ(-1, record.WireHeaders().FindName("Content-Length"));
  EXPECT_EQ(10, record.WireHeaders().Count());
}

TEST(TNetEntityHeaderInfo, ComposedValuesFoldOnlyPastTheWireWidth) {
  TNetEntityHeaderInfo record;
  std::string long_value;
  for (int i = 0; i < 50; ++i) long_value += "word ";
  record.SetPragma(long_value);  // 250 characters: one line at width 1024
  record.ComposeHeaders();
  EXPECT_EQ(2, record.WireHeaders().Count());
  EXPECT_EQ(rtl::Trim(long_value), record.WireHeaders().GetValue("Pragma"));
}

TEST(TNetEntityHeaderInfo, AssignCopiesTheEntityPartOnly) {
  TNetEntityHeaderInfo source;
  source.WireHeaders().Add("X: 1");
  source.SetContentEncoding("gzip");
  source.SetContentLanguage("en");
  source.SetContentLength(5);
  source.SetContentRangeStart(1);
  source.SetContentRangeEnd(2);
  source.SetContentType("text/plain");
  source.SetContentVersion("3");
  source.SetDate(1);
  source.SetExpires(2);
  source.SetLastModified(3);
  source.SetConnection("close");
  source.SetPragma("p");
  source.SetCacheControl("c");
  source.CustomHeaders().Add("Y: 2");

  TNetEntityHeaderInfo target;
  target.Assign(source);
  EXPECT_EQ(source.WireHeaders().Lines(), target.WireHeaders().Lines());
  EXPECT_EQ("gzip", target.ContentEncoding());
  EXPECT_EQ("en", target.ContentLanguage());
  EXPECT_EQ(5, target.ContentLength());
  EXPECT_FALSE(target.LengthKnown());
  EXPECT_EQ(1u, target.ContentRangeStart());
  EXPECT_EQ(2u, target.ContentRangeEnd());
  EXPECT_EQ("text/plain", target.ContentType());
  EXPECT_EQ("3", target.ContentVersion());
  EXPECT_EQ(1, target.Date());
  EXPECT_EQ(2, target.Expires());
  EXPECT_EQ(3, target.LastModified());
  EXPECT_EQ("", target.Connection());
  EXPECT_EQ("", target.Pragma());
  EXPECT_EQ("", target.CacheControl());
  EXPECT_EQ(0, target.CustomHeaders().Count());

  // A request record into a plain entity record: the entity copy.
  TNetRequestHeaderInfo request;
  request.SetContentType("application/json");
  target.Assign(request);
  EXPECT_EQ("application/json", target.ContentType());

  try {
    TNetHeaderList list;
    target.Assign(list);
    FAIL();
  } catch (const rtl::EAssignError& e) {
    EXPECT_EQ("Cannot assign a TNetHeaderList to a TNetEntityHeaderInfo.", e.Message());
  }
}

}  // namespace
}  // namespace meridian::net
