#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "vy_porting.hpp"

namespace {

TEST(VyPortingTest, IntegersAreWrittenInDecimal) {
  char buffer[24];
  EXPECT_STREQ(itoa(INT_MIN, buffer, 10), "-2147483648");
  EXPECT_EQ(std::strlen(buffer), 11u);
  EXPECT_EQ(itoa(0, buffer, 10), buffer);
  EXPECT_STREQ(buffer, "0");
  EXPECT_STREQ(_itoa(INT_MAX, buffer, 10), "2147483647");
  EXPECT_STREQ(ltoa(LONG_MIN, buffer, 10), "-9223372036854775808");
}

TEST(VyPortingTest, ComparisonsIgnoreCaseLikeTheirPosixCounterparts) {
  EXPECT_EQ(stricmp("Customer", "cUSTOMER"), 0);
  EXPECT_EQ(_stricmp("Customer", "cUSTOMER"), 0);
  EXPECT_LT(stricmp("abc", "ABD"), 0);
  EXPECT_GT(_stricmp("abd", "ABC"), 0);
  EXPECT_LT(stricmp("ab", "ABC"), 0);
  EXPECT_EQ(_strnicmp("ABCdef", "abcXYZ", 3), 0);
  EXPECT_NE(_strnicmp("ABCdef", "abcXYZ", 4), 0);
  EXPECT_EQ(_strnicmp("x", "y", 0), 0);
}

TEST(VyPortingTest, SnprintfReturnsTheWholeLengthAndCutsToTheBuffer) {
  char buffer[8];
  EXPECT_EQ(_snprintf(buffer, sizeof buffer, "%s~%d~", "connector", 42), 13);
  EXPECT_STREQ(buffer, "connect");
  EXPECT_EQ(_snprintf(buffer, sizeof buffer, "%d", 7), 1);
  EXPECT_STREQ(buffer, "7");
}

TEST(VyPortingDeathTest, AnyRadixButTenStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  char buffer[40];
  EXPECT_DEATH(itoa(255, buffer, 16), "output_radix == 10");
  EXPECT_DEATH(ltoa(255, buffer, 2), "output_radix == 10");
}

}  // namespace
