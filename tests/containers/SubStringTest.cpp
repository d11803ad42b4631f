#include <gtest/gtest.h>

#include "String.hpp"
#include "SubString.hpp"

namespace {

TEST(SubStringTest, ViewsAPartAndOutlivesChangesToItsString) {
  String s("hello world");
  SubString part = s(6, 5);
  EXPECT_EQ(part.length(), 5u);
  EXPECT_EQ(String(part), "world");
  s = "gone";
  s += "!";
  EXPECT_EQ(String(part), "world");
  EXPECT_EQ(String(s(4, 0)), "");
  EXPECT_EQ(String(s(5, 0)), "");  // an empty part just past the end is still inside
}

TEST(SubStringTest, CompareUsesTheViewedLengthThenTheShorterIsLess) {
  String s("abcdef");
  SubString abc = s(0, 3);
  EXPECT_EQ(abc.compare("abc"), 0);
  EXPECT_LT(abc.compare("abcd"), 0);
  EXPECT_GT(abc.compare("ab"), 0);
  EXPECT_LT(abc.compare("abd"), 0);
  EXPECT_GT(abc.compare(String("abb")), 0);
  EXPECT_EQ(abc.compare(String("abc")), 0);
  EXPECT_EQ(abc.compare(s(0, 3)), 0);
  EXPECT_LT(abc.compare(s(0, 4)), 0);
  EXPECT_GT(s(0, 4).compare(abc), 0);
  EXPECT_LT(abc.compare(s(1, 2)), 0);
  EXPECT_GT(abc.compare(static_cast<const char*>(nullptr)), 0);
  EXPECT_TRUE(abc == "abc");
}

TEST(SubStringTest, CollateFollowsTheSameLengthRule) {
  String s("abcdef");
  SubString abc = s(0, 3);
  EXPECT_EQ(abc.collate("abc"), 0);
  EXPECT_LT(abc.collate("abcd"), 0);
  EXPECT_GT(abc.collate("ab"), 0);
  EXPECT_LT(abc.collate(String("abd")), 0);
  EXPECT_GT(s(0, 4).collate(abc), 0);
  EXPECT_EQ(abc.collate(s(0, 3)), 0);
}

}  // namespace
