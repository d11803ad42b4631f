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

int sign(int v) { return (v > 0) - (v < 0); }

// compare and collate (strcoll on the cut texts) order "abc", viewed in a longer text, the same
// way against a text given as char*, String and SubString: by the viewed length, then the shorter
// is less.
TEST(SubStringTest, CompareAndCollateUseTheViewedLengthThenTheShorterIsLess) {
  String s("abcdef");
  SubString abc = s(0, 3);
  const struct {
    const char* other;
    int sign;
  } kCases[] = {{"abc", 0}, {"abcd", -1}, {"ab", 1}, {"abd", -1}, {"abb", 1}, {"bc", -1}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.other);
    String other(c.other);
    String padded = String(c.other) + "!";  // a longer text of which `other` is a view
    SubString view = padded(0, static_cast<int>(other.length()));
    EXPECT_EQ(c.sign, sign(abc.compare(c.other)));
    EXPECT_EQ(c.sign, sign(abc.compare(other)));
    EXPECT_EQ(c.sign, sign(abc.compare(view)));
    EXPECT_EQ(c.sign, sign(abc.collate(c.other)));
    EXPECT_EQ(c.sign, sign(abc.collate(other)));
    EXPECT_EQ(c.sign, sign(abc.collate(view)));
  }
  EXPECT_EQ(abc.compare(s(0, 3)), 0);
  EXPECT_LT(abc.compare(s(0, 4)), 0);
  EXPECT_GT(s(0, 4).compare(abc), 0);
  EXPECT_LT(abc.compare(s(1, 2)), 0);
  EXPECT_EQ(abc.collate(s(0, 3)), 0);
  EXPECT_GT(s(0, 4).collate(abc), 0);
  EXPECT_GT(abc.compare(static_cast<const char*>(nullptr)), 0);
  EXPECT_TRUE(abc == "abc");
}

}  // namespace
