#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Range.hpp"
#include "String.hpp"
#include "SubString.hpp"

namespace {

unsigned long hashOf(const char* text) { return String(text).hash(); }

TEST(StringHashTest, GroupsOfFourBytesAreReadBigEndianAndXoredIntoTheLength) {
  EXPECT_EQ(hashOf("abcd"), 4ul ^ 0x61626364ul);
  EXPECT_EQ(hashOf("ab"), 2ul ^ 0x61620000ul);
  EXPECT_EQ(hashOf("abcde"), 5ul ^ 0x61626364ul ^ 0x65000000ul);
  EXPECT_EQ(hashOf("abcdefgh"), 8ul ^ 0x61626364ul ^ 0x65666768ul);
  EXPECT_EQ(hashOf(""), 0ul);
  // Bytes above 0x7f are unsigned: no sign extension into the other bytes, no bits above 32.
  EXPECT_EQ(hashOf("\xff\xff\xff\xff\x80"), 5ul ^ 0xfffffffful ^ 0x80000000ul);
}

TEST(StringTest, EmptyStringsShareTheStaticRepresentationAndNeverFreeIt) {
  const StringRep* empty = String::theEmptyRep;
  unsigned int before = empty->count;
  {
    String a;
    String b("");
    String c(static_cast<const char*>(nullptr));
    String d('x', 0);
    EXPECT_EQ(a.rep(), empty);
    EXPECT_EQ(b.rep(), empty);
    EXPECT_EQ(c.rep(), empty);
    EXPECT_EQ(d.rep(), empty);
    EXPECT_EQ(empty->count, before + 4);
  }
  EXPECT_EQ(empty->count, before);
  EXPECT_STREQ(String().chars(), "");
}

TEST(StringTest, CopiesShareUntilOneIsChanged) {
  String first("abc");
  String copy(first);
  EXPECT_EQ(first.rep(), copy.rep());
  EXPECT_EQ(first.refCount(), 2u);

  copy += 'd';
  EXPECT_STREQ(first.chars(), "abc");
  EXPECT_STREQ(copy.chars(), "abcd");
  EXPECT_NE(first.rep(), copy.rep());
  EXPECT_EQ(first.refCount(), 1u);
  EXPECT_EQ(copy.refCount(), 1u);

  String third(first);
  third[0] = 'X';
  EXPECT_STREQ(first.chars(), "abc");
  EXPECT_STREQ(third.chars(), "Xbc");
}

TEST(StringTest, AppendingToAnEmptyStringLeavesTheSharedEmptyTextAlone) {
  String a;
  String b;
  a += "text";
  EXPECT_STREQ(a.chars(), "text");
  EXPECT_STREQ(b.chars(), "");
  EXPECT_EQ(b.rep(), String::theEmptyRep);
  EXPECT_STREQ(String::theEmptyRep->s, "");
}

TEST(StringTest, AssignmentReleasesTheOldRepresentationAndSurvivesAliasing) {
  String a("one");
  String b("two");
  a = b;
  EXPECT_EQ(a.rep(), b.rep());
  EXPECT_EQ(b.refCount(), 2u);
  String& alias = a;
  a = alias;
  EXPECT_EQ(b.refCount(), 2u);

  String c("hello world");
  c = c.chars() + 6;  // the new text lies inside the old one
  EXPECT_STREQ(c.chars(), "world");
  c = c(1, 3);  // so does a part of itself
  EXPECT_STREQ(c.chars(), "orl");
  c = "";
  EXPECT_EQ(c.rep(), String::theEmptyRep);
}

TEST(StringTest, AppendingToItselfDoublesTheText) {
  String s("abc");
  s += s;
  EXPECT_STREQ(s.chars(), "abcabc");
  String shared(s);
  s += s.chars() + 3;
  EXPECT_STREQ(s.chars(), "abcabcabc");
  EXPECT_STREQ(shared.chars(), "abcabc");
  s += s(0, 2);
  EXPECT_STREQ(s.chars(), "abcabcabcab");
  EXPECT_EQ(s.length(), 11u);
}

TEST(StringTest, ConcatenationOnEitherSide) {
  String ab("ab");
  EXPECT_STREQ((ab + String("cd")).chars(), "abcd");
  EXPECT_STREQ((ab + "cd").chars(), "abcd");
  EXPECT_STREQ(("cd" + ab).chars(), "cdab");
  EXPECT_STREQ((ab + 'c').chars(), "abc");
  EXPECT_STREQ(('c' + ab).chars(), "cab");
  EXPECT_STREQ((ab + ab(1, 1)).chars(), "abb");
  EXPECT_STREQ((ab(0, 1) + ab).chars(), "aab");
  EXPECT_EQ((String() + "").rep(), String::theEmptyRep);
  EXPECT_STREQ(ab.chars(), "ab");
}

TEST(StringTest, CharacterConstructors) {
  EXPECT_STREQ(String('x').chars(), "x");
  EXPECT_STREQ(String('-', 3).chars(), "---");
  EXPECT_STREQ(String('y', 1).chars(), "y");
}

TEST(StringTest, IndexAndRindex) {
  String s("abcabc");
  EXPECT_EQ(s.index('b'), 1);
  EXPECT_EQ(s.index('b', 2), 4);
  EXPECT_EQ(s.index('z'), -1);
  EXPECT_EQ(s.index('\0'), -1);
  EXPECT_EQ(s.index('a', 6), -1);
  EXPECT_EQ(s.index('a', 7), -1);
  EXPECT_EQ(s.rindex('a', 100), 3);  // a start beyond the length searches from the end
  EXPECT_EQ(s.rindex('a'), 3);
  EXPECT_EQ(s.rindex('a', 2), 0);
  EXPECT_EQ(s.rindex('c', 1), -1);
  EXPECT_EQ(String().rindex('a'), -1);
  EXPECT_EQ(String().index('a'), -1);
}

TEST(StringTest, ToAsciiClearsTheTopBitOfAPrivateCopy) {
  String s("\xc1\xe2");
  String keep(s);
  s.toAscii();
  EXPECT_STREQ(s.chars(), "Ab");
  EXPECT_STREQ(keep.chars(), "\xc1\xe2");
}

TEST(StringTest, PrintOnWritesTheTextAndRangesPrintStartColonLength) {
  std::ostringstream out;
  out << String("abc") << '|' << Range(2, 5) << '|' << String("abcdef")(Range(1, 3));
  EXPECT_EQ(out.str(), "abc|2:5|bcd");
}

TEST(StringTest, ConcatenationAndCopiesOfEmptyStringsOnManyThreads) {
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 1);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &ok] {
      std::string expected;
      String built;
      for (int i = 0; i < 2000; ++i) {
        String empty;
        String copy(empty);
        char c = static_cast<char>('a' + t);
        built = built + c;
        expected += c;
        if (copy.rep() != String::theEmptyRep) ok[t] = 0;
      }
      if (expected != built.chars()) ok[t] = 0;
    });
  }
  for (auto& th : threads) th.join();
  for (int b : ok) EXPECT_EQ(b, 1);
  EXPECT_STREQ(String::theEmptyRep->s, "");
  EXPECT_GE(String::theEmptyRep->count, 1u);
}

using StringDeathTest = ::testing::Test;

TEST_F(StringDeathTest, BadIndexesAndPartsAbortWithTheirReports) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  String s("abc");
  const String& cs = s;
  EXPECT_DEATH((void)s[3], "\\[INDEXRANGE\\] Index out of Range: string@");
  EXPECT_DEATH((void)cs[100], "\\[INDEXRANGE\\] Index out of Range: string@");
  EXPECT_DEATH(s(2, 2), "\\[SUBSTRERR\\] Substring position/lenght out of Range \\(2,2\\)");
  EXPECT_DEATH(s(-1, 1), "\\[SUBSTRERR\\]");
  EXPECT_DEATH(s(Range()), "\\[BADRANGE\\] Invalid or undefined Range \\[-1:-1\\] for SubString");
  EXPECT_DEATH(String('\n', 1), "l != 1 \\|\\| isprint\\(c\\)");
}

}  // namespace
