#include "rtl/bit_set.h"

#include <gtest/gtest.h>

namespace meridian::rtl {
namespace {

enum TColour : uint8_t { clRed, clGreen, clBlue };

TEST(TSet, IncludeExcludeAndSetAlgebra) {
  TSet<TColour> s{clRed};
  EXPECT_TRUE(s.Contains(clRed));
  EXPECT_FALSE(s.Contains(clBlue));
  s.Include(clBlue).Exclude(clRed);
  EXPECT_EQ((TSet<TColour>{clBlue}), s);
  EXPECT_EQ((TSet<TColour>{clRed, clBlue}), s + TSet<TColour>{clRed});
  EXPECT_TRUE((s - TSet<TColour>{clBlue}).Empty());
  EXPECT_EQ((TSet<TColour>{clBlue}), (TSet<TColour>{clGreen, clBlue} * TSet<TColour>{clBlue, clRed}));
}

}  // namespace
}  // namespace meridian::rtl
