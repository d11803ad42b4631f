#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <thread>

#include "ConnectorFrameworkVersion.hpp"
#include "KyVersion.hpp"

namespace {

// Restores LATEST whatever a test does with it.
class KyVersionTest : public ::testing::Test {
 protected:
  void TearDown() override { KyVersion::setLATEST(0); }
};

std::string text(const KyVersion& v) { return v.toString(); }

TEST_F(KyVersionTest, ParsingFillsMissingComponentsWithLatest) {
  EXPECT_EQ(text(KyVersion("4.1.0")), "4.1.0");
  EXPECT_EQ(text(KyVersion("4")), "4.0.0");
  EXPECT_EQ(text(KyVersion("4.2")), "4.2.0");
  EXPECT_EQ(text(KyVersion("")), "0.0.0");
  EXPECT_EQ(text(KyVersion(static_cast<const char*>(nullptr))), "0.0.0");
  EXPECT_EQ(text(KyVersion("v4.1.0")), "0.0.0");
  EXPECT_EQ(text(KyVersion("4.x.7")), "4.0.0");
  EXPECT_EQ(text(KyVersion(" 4. 2.-3")), "4.2.-3");
  EXPECT_EQ(text(KyVersion("4.1.0-beta")), "4.1.0");
  KyVersion::setLATEST(99);
  EXPECT_EQ(text(KyVersion("5")), "5.99.99");
  EXPECT_EQ(KyVersion::getLATEST(), 99);
}

TEST_F(KyVersionTest, OutOfRangeComponentsAreHeldAtTheIntLimits) {
  KyVersion v("99999999999.-99999999999.2147483647");
  EXPECT_EQ(v.getMajorVer(), INT_MAX);
  EXPECT_EQ(v.getMinorVer(), INT_MIN);
  EXPECT_EQ(v.getPointVer(), INT_MAX);
}

TEST_F(KyVersionTest, ComparisonGivesTheDifferenceOfTheFirstDifferingComponent) {
  KyVersion& framework = ConnectorFrameworkVersion::version;
  EXPECT_EQ(KyVersion("4.1.0").compareTo(framework), 0);
  EXPECT_EQ(KyVersion("4.1.1").compareTo(framework), 1);
  EXPECT_EQ(KyVersion("3.9.9").compareTo(framework), -1);
  EXPECT_EQ(framework.compareTo("4.1.0"), 0);
  EXPECT_EQ(KyVersion(4, 5, 0).compareTo(KyVersion(4, 2, 9)), 3);
  EXPECT_EQ(KyVersion(1, 2, 3).compareMajor(KyVersion(4, 2, 3)), -3);
  EXPECT_EQ(KyVersion(1, 2, 3).compareMinor(5), -3);
  EXPECT_EQ(KyVersion(1, 2, 3).comparePoint(1), 2);
  // Extreme components keep the sign instead of overflowing.
  EXPECT_GT(KyVersion(INT_MAX, 0, 0).compareTo(KyVersion(INT_MIN, 0, 0)), 0);
  EXPECT_LT(KyVersion(0, INT_MIN, 0).compareTo(KyVersion(0, 1, 0)), 0);
}

TEST_F(KyVersionTest, ToStringFormatsAndCutsLongTexts) {
  EXPECT_STREQ(KyVersion::toString(10, 20, 30), "10.20.30");
  EXPECT_STREQ(KyVersion(-2147483647 - 1, 2147483647, 5).toString(), "-2147483648.214");
  EXPECT_EQ(KyVersion(7, 7, 7).hashCode(), -1);
  EXPECT_EQ(KyVersion::hashCode("4.1.0"), -1);
  EXPECT_EQ(KyVersion::hashCode(1, 2, 3), -1);
}

TEST_F(KyVersionTest, EachThreadRendersIntoItsOwnBuffer) {
  const char* mine = KyVersion::toString(1, 1, 1);
  std::string theirs;
  std::thread other([&theirs] {
    const char* t = KyVersion::toString(2, 2, 2);
    for (int i = 0; i < 1000; ++i) KyVersion::toString(3, i, 3);
    theirs = t;
  });
  for (int i = 0; i < 1000; ++i) ASSERT_STREQ(mine, "1.1.1");
  other.join();
  EXPECT_EQ(theirs, "3.999.3");  // the other thread's buffer holds its own last text
  EXPECT_STREQ(mine, "1.1.1");
}

TEST_F(KyVersionTest, ClassWideSettings) {
  EXPECT_EQ(text(KyVersion::getLATESTVERSION()), "0.0.0");
  KyVersion::setLATESTVERSION(KyVersion(9, 8, 7));
  EXPECT_EQ(text(KyVersion::getLATESTVERSION()), "9.8.7");
  KyVersion::setLATESTVERSION(KyVersion(0, 0, 0));
  char* saved = KyVersion::getDELIMITER();
  EXPECT_STREQ(saved, ".");
  char dash[] = "-";
  KyVersion::setDELIMITER(dash);
  EXPECT_EQ(KyVersion::getDELIMITER(), dash);
  EXPECT_EQ(text(KyVersion("1.2.3")), "1.2.3");  // parsing and formatting ignore it
  KyVersion::setDELIMITER(saved);
}

}  // namespace
