#include "http/path_merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meridian::net {
namespace {

TEST(MergePath, ResolvesAgainstTheBaseDirectory) {
  struct Case {
    std::string base;
    std::string path;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"/a/b/", "/x/", "/x/"},            // an absolute path replaces the base
      {"/a/b/", "", "/a/b/"},             // no directory: the base stays
      {"/a/b/", "d/", "/a/b/d/"},
      {"/a/b/", "../", "/a/"},
      {"/a/b/", "../../../", "/"},        // climbing stops at the root
      {"/a/b/", "./", "/a/b/./"},         // a single "." segment stays
      {"/a//b/", "c//d/", "/a/b/c/d/"},   // runs of slashes collapse
      {"/a/b", "c/", "/a/b/c/"},          // a base without its final slash
      {"", "c/", "c/"},
      {"", "", ""},
      {"/", "", "/"},
      {"/a/", "..", "/"},
      {"/a/b/", "c/..", "/a/b"},          // without a trailing slash in the path none is kept
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, MergePath(c.base, c.path)) << "'" << c.base << "' + '" << c.path << "'";
  }
}

}  // namespace
}  // namespace meridian::net
