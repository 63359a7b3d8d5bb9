#include "http/cookie_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "http/public_suffix.h"
#include "support/start_line.h"
#include "uri/uri.h"

namespace meridian::net {
namespace {

const char* const kHost = "node.area.test";

// Cookies filed in the domain index, over all domains.
int32_t Filed(TNetCookieManager& manager) {
  TNetCookieDomains& domains = manager.Cookies().LockDomains(caRead);
  int32_t count = 0;
  for (int32_t d = 0; d < domains.Count(); ++d) count += domains.Objects(d)->Count();
  manager.Cookies().UnlockDomains(caRead);
  return count;
}

TEST(TNetCookieManager, FilesADomainCookieAndSendsItBack) {
  TNetCookieManager manager;
  manager.AcceptSetCookie("SID=abc; path=/; domain=.area.test", kHost);
  const TNetCookieDomains& domains = manager.Cookies().ByDomain();
  ASSERT_EQ(1, domains.Count());
  EXPECT_EQ(".area.test", domains.Keys(0));
  EXPECT_EQ("SID=abc", manager.CookieHeaderFor(TNetURI("http://node.area.test/x/y.txt"), false));

  // Sent by a host two levels below the domain, or by another site: discarded,
  // and the stored cookie stays.
  manager.AcceptSetCookie("SID=evil; path=/; domain=.area.test", "node.sub.area.test");
  manager.AcceptSetCookie("SID=evil; path=/; domain=.area.test", "node.other.test");
  EXPECT_EQ(1, manager.Cookies().Count());
  EXPECT_EQ("SID=abc", manager.CookieHeaderFor(kHost, "/x/", false));
}

TEST(TNetCookieManager, DomainCookiesGoOnlyToHostsWithinTheDomain) {
  // Regression: a domain used to fit any host that merely contained its text.
  TNetCookieManager manager;
  manager.AcceptSetCookie("D=1; domain=.area.test", kHost);
  manager.AcceptSetCookie("H=2", kHost);  // no domain: the host itself
  struct Case {
    const char* host;
    const char* header;
  };
  const Case cases[] = {
      {"node.area.test", "H=2; D=1"},
      {"NODE.Area.TEST", "H=2; D=1"},
      {"area.test", "D=1"},
      {"other.node.area.test", "D=1"},
      {"node.area.test.evil.example", ""},
      {"evilarea.test", ""},
      {"xnode.area.test.example", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.header, manager.CookieHeaderFor(c.host, "/", false)) << c.host;
  }
}

TEST(TNetCookieManager, ReplacesACookieOfTheSameDomainAndName) {
  TNetCookieManager manager;
  manager.AcceptSetCookie("SID=abc; domain=.area.test", kHost);
  manager.AcceptSetCookie("sid=def; domain=.area.test", kHost);
  EXPECT_EQ("sid=def", manager.CookieHeaderFor(kHost, "/", false));
  EXPECT_EQ(1, manager.Cookies().Count());
  EXPECT_EQ(1, Filed(manager));

  // Same name, other domain: a second cookie.
  manager.AcceptSetCookie("SID=ghi", kHost);
  EXPECT_EQ(2, Filed(manager));
}

TEST(TNetCookieManager, AnEndingCookieRemovesTheStoredOne) {
  // Regression: the replaced cookie used to be re-read from its written-back
  // text, which lost a received expiry date and, for an empty value, the name;
  // the renamed cookie's entry then outlived it.
  const std::string endings[] = {
      "SID=; max-age=0",
      "SID=; expires=Thu, 01 Jan 1970 00:00:00 GMT",
      "SID=gone; expires=Thu, 01 Jan 1970 00:00:00 GMT",
      "SID=gone; max-age=-1",
      "SID=gone; Max-Age=-86400",
      "SID=gone; max-age=0; expires=Fri, 01 Jan 2100 00:00:00 GMT",
  };
  for (const std::string& ending : endings) {
    SCOPED_TRACE(ending);
    TNetCookieManager manager;
    manager.AcceptSetCookie("SID=abc; path=/", kHost);
    manager.AcceptSetCookie(ending, kHost);
    EXPECT_EQ("", manager.CookieHeaderFor(kHost, "/", false));
    EXPECT_EQ(0, Filed(manager));
    EXPECT_EQ(0, manager.Cookies().Count());
    manager.AcceptSetCookie("SID=new", kHost);
    EXPECT_EQ("SID=new", manager.CookieHeaderFor(kHost, "/", false));
  }
}

TEST(TNetCookieManager, ChoosesByPathSecurityAndValue) {
  TNetCookieManager manager;
  manager.AcceptSetCookie("C=3; path=/", kHost);
  manager.AcceptSetCookie("B=2; path=/a/", kHost);
  manager.AcceptSetCookie("S=1; secure", kHost);
  manager.AcceptSetCookie("N=", kHost);
  manager.AcceptSetCookie("X=9; path=/A/", kHost);
  EXPECT_EQ(5, Filed(manager));  // the empty value is stored, never sent
  struct Case {
    const char* path;
    bool secure;
    const char* header;
  };
  const Case cases[] = {
      {"/a/", false, "B=2; C=3"},
      {"/a/b/", false, "B=2; C=3"},
      {"/", false, "C=3"},
      {"/", true, "C=3; S=1"},
      {"/A/", false, "X=9; C=3"},
      {"/b/", false, "C=3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.header, manager.CookieHeaderFor(kHost, c.path, c.secure)) << c.path << " " << c.secure;
  }
}

TEST(TNetCookieManager, PathsFitOnWholeSegments) {
  TNetCookieManager manager;
  manager.AcceptSetCookie("A=1; path=/adm", kHost);
  manager.AcceptSetCookie("D=2; path=/adm/", kHost);
  const struct {
    const char* url;
    const char* header;
  } cases[] = {
      {"http://node.area.test/adm", "A=1"},
      {"http://node.area.test/adm?x=1", "A=1"},
      {"http://node.area.test/adm/", "D=2; A=1"},
      {"http://node.area.test/adm/x/y.txt", "D=2; A=1"},
      {"http://node.area.test/administrator", ""},
      {"http://node.area.test/administrator/x", ""},
      {"http://node.area.test/ad", ""},
      {"http://node.area.test/", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.header, manager.CookieHeaderFor(TNetURI(c.url), false)) << c.url;
  }
}

// A public suffix as Domain would send the cookie to every site under it.
TEST(TNetCookieManager, AnAddressGetsOnlyItsOwnCookies) {
  // A domain cookie set by a name whose last labels look like an address, or
  // by an IPv6 address with a dotted tail, must not reach that address.
  struct Case {
    const char* text;
    const char* from;
    const char* to;
    const char* header;
  } cases[] = {
      {"A=1", "::1", "::1", "A=1"},
      {"A=1", "::1", "::2", ""},
      {"A=1", "::1", "fe80::1", ""},
      {"A=1; domain=::1", "::1", "::1", "A=1"},
      {"A=1; domain=.2.3.4", "::ffff:1.2.3.4", "::ffff:1.2.3.4", ""},
      {"A=1; domain=.2.3.4", "a.2.3.4", "10.2.3.4", ""},
      {"A=1; domain=.2.3.4", "a.2.3.4", "::ffff:10.2.3.4", ""},
      {"A=1", "10.0.0.1", "10.0.0.1", "A=1"},
  };
  for (const auto& c : cases) {
    TNetCookieManager manager;
    manager.AcceptSetCookie(c.text, c.from);
    EXPECT_EQ(c.header, manager.CookieHeaderFor(c.to, "/", false)) << c.text << " from " << c.from << " to " << c.to;
  }
  // Through the URI: the brackets are the URL's, the host is the address.
  TNetCookieManager manager;
  manager.AcceptSetCookie("B=2", TNetURI("http://[::1]:8080/").Host());
  EXPECT_EQ("B=2", manager.CookieHeaderFor(TNetURI("http://[::1]:8080/x/y"), false));
  EXPECT_EQ("", manager.CookieHeaderFor(TNetURI("http://127.0.0.1:8080/x/y"), false));
}

TEST(TNetCookieManager, RefusesAPublicSuffixAsDomain) {
  const bool list = PublicSuffixListInUse();
  const struct {
    const char* text;
    const char* from;
    const char* to;
    const char* header;  // what `to` is sent
  } cases[] = {
      {"T=1; domain=.com", "evil.com", "bank.com", ""},
      {"T=1; domain=com", "evil.com", "evil.com", ""},
      {"T=1; domain=.TEST", "area.test", "other.test", ""},
      {"T=1; domain=.co.uk", "evil.co.uk", "bank.co.uk", list ? "" : "T=1"},
      {"T=1; domain=.area.test", "node.area.test", "other.area.test", "T=1"},
      // The host of that name keeps it for itself alone.
      {"T=1; domain=localhost", "localhost", "localhost", "T=1"},
      {"T=1; domain=.localhost", "localhost", "node.localhost", ""},
  };
  for (const auto& c : cases) {
    TNetCookieManager manager;
    manager.AcceptSetCookie(c.text, c.from);
    EXPECT_EQ(c.header, manager.CookieHeaderFor(c.to, "/", false)) << c.text << " from " << c.from;
  }
}

TEST(PublicSuffix, WithoutAListADomainNeedsAnInnerDot) {
  const struct {
    const char* domain;
    bool refused;
  } cases[] = {
      {"com", true}, {".com", true}, {"com.", true}, {".", true}, {"", true},
      {"a.b", false}, {".co.uk", false}, {"area.test", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.refused, DomainHasNoInnerDot(c.domain)) << c.domain;
}

TEST(PublicSuffix, TheListKnowsRegistriesBelowTheTopLevel) {
#ifdef MERIDIAN_EXPECT_SUFFIX_LIST
  ASSERT_TRUE(PublicSuffixListInUse()) << "the public suffix library did not load";
#else
  if (!PublicSuffixListInUse()) GTEST_SKIP() << "built without the public suffix list";
#endif
  const struct {
    const char* domain;
    bool suffix;
  } cases[] = {
      {"com", true}, {".CO.UK", true}, {"co.uk", true}, {"test", true},
      {"example.com", false}, {"area.test", false}, {"bbc.co.uk", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.suffix, IsPublicSuffix(c.domain)) << c.domain;
}

TEST(TNetCookieManager, DropsExpiredCookiesBeforeChoosing) {
  TNetCookieManager manager;
  manager.AcceptSetCookie("E=1; expires=Thu, 01 Jan 1970 00:00:00 GMT", kHost);
  manager.AcceptSetCookie("M=1; max-age=0", kHost);
  manager.AcceptSetCookie("K=1; max-age=3600", kHost);
  EXPECT_EQ(3, Filed(manager));
  EXPECT_EQ("K=1", manager.CookieHeaderFor(kHost, "/", false));
  EXPECT_EQ(1, Filed(manager));
  EXPECT_EQ(1, manager.Cookies().Count());
  ASSERT_EQ(1, manager.Cookies().ByDomain().Count());  // the domain's list stays
}

TEST(TNetCookieManager, OnNewCookieMayRefuseACookie) {
  TNetCookieManager manager;
  std::vector<std::string> offered;
  manager.OnNewCookie = [&](rtl::TComponent* sender, TNetCookieRFC2109* cookie, bool& accept) {
    EXPECT_EQ(&manager, sender);
    EXPECT_TRUE(accept);
    offered.push_back(cookie->CookieName());
    accept = cookie->CookieName() != "NO";
  };
  manager.AcceptSetCookie("YES=1", kHost);
  manager.AcceptSetCookie("NO=1", kHost);
  manager.AcceptSetCookie("NO=1; domain=.other.test", kHost);  // never offered
  EXPECT_EQ((std::vector<std::string>{"YES", "NO"}), offered);
  EXPECT_EQ("YES=1", manager.CookieHeaderFor(kHost, "/", false));
  EXPECT_EQ(1, manager.Cookies().Count());

  manager.OnNewCookie = [](rtl::TComponent*, TNetCookieRFC2109*, bool&) { throw std::runtime_error("handler"); };
  EXPECT_THROW(manager.AcceptSetCookie("T=1", kHost), std::runtime_error);
  EXPECT_EQ(1, manager.Cookies().Count());
}

TEST(TNetCookieManager, DiscardsASetCookie2WithABadPortList) {
  TNetCookieManager manager;
  EXPECT_NO_THROW(manager.AcceptSetCookie2("P=1; Port=\"80,http\"", kHost));
  EXPECT_EQ(0, manager.Cookies().Count());
  manager.AcceptSetCookie2("P=2; Port=\"8080\"", kHost);
  ASSERT_EQ(1, manager.Cookies().Count());
  auto* cookie = dynamic_cast<TNetCookieRFC2965*>(manager.Cookies().Items(0));
  ASSERT_NE(nullptr, cookie);
  EXPECT_EQ(std::vector<int32_t>{8080}, cookie->Ports());
  // A bad replacement leaves the stored cookie as it was.
  manager.AcceptSetCookie2("P=3; Port=\"x\"", kHost);
  EXPECT_EQ("P=2", manager.CookieHeaderFor(kHost, "/", false));
}

TEST(TNetCookieManager, BoundsWhatAServerCanStore) {
  TNetCookieManager manager;
  manager.AcceptSetCookie("L=" + std::string(kMaxCookieTextLength, 'v'), kHost);
  EXPECT_EQ(0, manager.Cookies().Count());
  // Line breaks would reach a later request head.
  const std::string breaks[] = {"I=1\r\nX-Injected: 1", "I=1\nX: 1", std::string("I=1\0x", 5)};
  for (const std::string& text : breaks) {
    manager.AcceptSetCookie(text, kHost);
    manager.AcceptSetCookie2(text, kHost);
  }
  EXPECT_EQ(0, manager.Cookies().Count());

  for (int i = 0; i <= kMaxCookiesPerDomain; ++i) manager.AcceptSetCookie("K" + std::to_string(i) + "=1", kHost);
  EXPECT_EQ(kMaxCookiesPerDomain, Filed(manager));
  EXPECT_EQ(kMaxCookiesPerDomain, manager.Cookies().Count());
  // A full domain still takes replacements.
  manager.AcceptSetCookie("K0=2", kHost);
  EXPECT_EQ(0u, manager.CookieHeaderFor(kHost, "/", false).find("K0=2; K1=1"));
}

TEST(TNetCookieManager, BoundsTheWholeStore) {
  TNetCookieManager manager;
  const int hosts = kMaxCookies / kMaxCookiesPerDomain + 1;
  for (int h = 0; h < hosts; ++h) {
    const std::string host = "h" + std::to_string(h) + ".area.test";
    for (int i = 0; i < kMaxCookiesPerDomain; ++i) manager.AcceptSetCookie("K" + std::to_string(i) + "=1", host);
  }
  EXPECT_EQ(kMaxCookies, Filed(manager));
  EXPECT_EQ("", manager.CookieHeaderFor("h" + std::to_string(hosts - 1) + ".area.test", "/", false));

  // Domains whose cookies all expired make room for new ones.
  TNetCookieManager expiring;
  for (int h = 0; h < kMaxCookieDomains; ++h) {
    expiring.AcceptSetCookie("E=1; max-age=0", "h" + std::to_string(h) + ".area.test");
  }
  EXPECT_EQ("", expiring.CookieHeaderFor(kHost, "/", false));
  EXPECT_EQ(kMaxCookieDomains, expiring.Cookies().ByDomain().Count());
  expiring.AcceptSetCookie("N=1", kHost);
  EXPECT_EQ("N=1", expiring.CookieHeaderFor(kHost, "/", false));
  EXPECT_EQ(1, expiring.Cookies().ByDomain().Count());
}

TEST(TNetCookieManager, RaisesItsEvents) {
  std::vector<std::string> seen;
  {
    auto on_create = [&](rtl::TComponent*, TNetCookies& cookies) {
      seen.push_back("create " + std::to_string(cookies.Count()));
    };
    rtl::TComponent owner;
    auto* manager = new TNetCookieManager(&owner, on_create);
    manager->OnDestroy = [&](rtl::TComponent*, TNetCookies& cookies) {
      seen.push_back("destroy " + std::to_string(cookies.Count()));
    };
    manager->AcceptSetCookie("A=1", kHost);
    manager->AcceptSetCookie("E=1; expires=Thu, 01 Jan 1970 00:00:00 GMT", kHost);
    EXPECT_EQ(2, manager->Cookies().Count());
  }  // the owner frees the manager; expired cookies go before OnDestroy
  EXPECT_EQ((std::vector<std::string>{"create 0", "destroy 1"}), seen);
}

TEST(TNetCookieManager, ServesReadersWhileAWriterStores) {
  TNetCookieManager manager;
  manager.AcceptSetCookie("K0=v0", kHost);
  constexpr int kReaders = 4;
  constexpr int kRounds = 400;
  testing::StartLine start(kReaders + 1);
  std::atomic<int> malformed{0};
  std::atomic<int> empty{0};
  std::vector<std::thread> threads;
  for (int r = 0; r < kReaders; ++r) {
    threads.emplace_back([&] {
      start.ArriveAndWait();
      for (int i = 0; i < kRounds; ++i) {
        const std::string header = manager.CookieHeaderFor(kHost, "/", false);
        if (header.empty()) ++empty;
        // Every pair is "K<n>=v<n>" with the same n, or a "T<n>=x" stored
        // between the reader's expiry pass and its choice.
        std::string rest = header;
        while (!rest.empty()) {
          const size_t end = rest.find("; ");
          const std::string pair = rest.substr(0, end);
          rest = end == std::string::npos ? "" : rest.substr(end + 2);
          const size_t eq = pair.find('=');
          const bool fits = eq != std::string::npos &&
                            ((pair[0] == 'K' && pair.substr(eq + 1) == "v" + pair.substr(1, eq - 1)) ||
                             (pair[0] == 'T' && pair.substr(eq + 1) == "x"));
          if (!fits) {
            ++malformed;
          }
        }
      }
    });
  }
  threads.emplace_back([&] {
    start.ArriveAndWait();
    for (int i = 0; i < kRounds; ++i) {
      const std::string n = std::to_string(i % 20);
      manager.AcceptSetCookie("K" + n + "=v" + n, kHost);           // replaces from the second pass on
      manager.AcceptSetCookie("T" + n + "=x; max-age=0", kHost);   // dropped by the readers
    }
  });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, malformed.load());
  EXPECT_EQ(0, empty.load());  // K0 is always there
  manager.CookieHeaderFor(kHost, "/", false);
  EXPECT_EQ(20, Filed(manager));
}

}  // namespace
}  // namespace meridian::net
