#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "KyConversion.hpp"
#include "VyTestAgent.hpp"

namespace {

// Owns a malloc'd result.
struct Text {
  char* p;
  explicit Text(char* text) : p(text) {}
  ~Text() { std::free(p); }
  bool isNull() const { return p == nullptr; }
  std::string str() const { return p ? std::string(p) : std::string("<null>"); }
};

std::string toNativeUtf8(const char* enc, const char* text) {
  KyConversion conv(enc);
  return Text(conv.fromNativeToUTF8(vytest::env(), text)).str();
}

std::string toNative(const char* enc, const char* utf) {
  KyConversion conv(enc);
  return Text(conv.fromUTF8ToNative(vytest::env(), utf)).str();
}

std::u16string toUnits(const char* enc, const std::string& bytes) {
  KyConversion conv(enc);
  int length = static_cast<int>(bytes.size());
  unsigned short* units = conv.fromNativeToUTF16(vytest::env(), bytes.data(), length);
  if (units == nullptr) return u"<null>";
  EXPECT_EQ(units[length], 0);
  std::u16string out(reinterpret_cast<char16_t*>(units), static_cast<size_t>(length));
  std::free(units);
  return out;
}

std::string fromUnits(const char* enc, const std::u16string& units) {
  KyConversion conv(enc);
  int length = static_cast<int>(units.size());
  char* bytes = conv.fromUTF16ToNative(
      vytest::env(), reinterpret_cast<const unsigned short*>(units.data()), length);
  if (bytes == nullptr) return "<null>";
  EXPECT_EQ(bytes[length], '\0');
  std::string out(bytes, static_cast<size_t>(length));
  std::free(bytes);
  return out;
}

TEST(KyConversion, WithoutEncodingEightBitFormsCopyAndUtf16FormsFail) {
  for (const char* enc : {static_cast<const char*>(nullptr), ""}) {
    KyConversion conv(enc);
    EXPECT_EQ(conv.getEncoding(), nullptr);
    EXPECT_EQ(Text(conv.fromNativeToUTF8(nullptr, "caf\xE9")).str(), "caf\xE9");
    EXPECT_EQ(Text(conv.fromUTF8ToNative(nullptr, "caf\xC3\xA9")).str(), "caf\xC3\xA9");
    int length = -1;
    EXPECT_EQ(conv.fromNativeToUTF16(nullptr, "abc", length), nullptr);
    EXPECT_EQ(length, 0);
    const unsigned short abc[] = {'a', 'b', 'c', 0};
    length = -1;
    EXPECT_EQ(conv.fromUTF16ToNative(nullptr, abc, length), nullptr);
  }
}

TEST(KyConversion, NullAndEmptyInputsGiveNull) {
  for (const char* enc : {"UTF-8", "UTF-16BE"}) {
    KyConversion conv(enc);
    EXPECT_TRUE(Text(conv.fromNativeToUTF8(nullptr, nullptr)).isNull());
    EXPECT_TRUE(Text(conv.fromNativeToUTF8(nullptr, "")).isNull());
    EXPECT_TRUE(Text(conv.fromUTF8ToNative(nullptr, "")).isNull());
    int length = 0;
    EXPECT_EQ(conv.fromNativeToUTF16(nullptr, "abc", length), nullptr);
    length = 5;
    EXPECT_EQ(conv.fromNativeToUTF16(nullptr, nullptr, length), nullptr);
    EXPECT_EQ(length, 0);
    const unsigned short empty[] = {0};
    length = -1;
    EXPECT_EQ(conv.fromUTF16ToNative(nullptr, empty, length), nullptr);
  }
}

TEST(KyConversion, UnknownOrIllegalNameFailsEverywhereWithNothingPending) {
  JNIEnv* env = vytest::env();
  const unsigned short abc[] = {'a', 'b', 'c', 0};
  for (const char* enc : {"no-such-charset", "bad name!", "UTF-8\xC3\xA9"}) {
    SCOPED_TRACE(enc);
    KyConversion conv(enc);
    int length = -1;
    EXPECT_TRUE(Text(conv.fromNativeToUTF8(env, "abc")).isNull());
    EXPECT_TRUE(Text(conv.fromUTF8ToNative(env, "abc")).isNull());
    EXPECT_EQ(conv.fromNativeToUTF16(env, "abc", length), nullptr);
    length = -1;
    EXPECT_TRUE(Text(conv.fromUTF16ToNative(env, abc, length)).isNull());
    EXPECT_TRUE(Text(conv.jvmNativeToUTF8(env, "abc")).isNull());
    EXPECT_TRUE(Text(conv.jvmUTF8ToNative(env, "abc")).isNull());
    length = -1;
    EXPECT_EQ(conv.jvmNativeToUTF16(env, "abc", length), nullptr);
    length = -1;
    EXPECT_TRUE(Text(conv.jvmUTF16ToNative(env, abc, length)).isNull());
    EXPECT_FALSE(env->ExceptionCheck());
  }
}

TEST(KyConversion, EveryAliasOfTheThreeNativeCharsetsIsRecognised) {
  // é is one byte in Latin-1, two in UTF-8, U+FFFD in US-ASCII.
  for (const char* enc : {"UTF-8", "utf8", "UTF8", "unicode-1-1-utf-8"})
    EXPECT_EQ(toNativeUtf8(enc, "caf\xC3\xA9"), "caf\xC3\xA9") << enc;
  for (const char* enc : {"ISO-8859-1", "latin1", "ISO8859_1", "l1", "819", "cp819"})
    EXPECT_EQ(toNativeUtf8(enc, "caf\xE9"), "caf\xC3\xA9") << enc;
  for (const char* enc : {"US-ASCII", "ASCII", "us", "646", "iso-ir-6", "default"})
    EXPECT_EQ(toNativeUtf8(enc, "caf\xE9"), "caf\xEF\xBF\xBD") << enc;
}

TEST(KyConversion, OtherCharsetsGoThroughTheJvm) {
  EXPECT_EQ(toUnits("UTF-16BE", std::string("\0A\0B\x20\xAC", 6)), u"AB\u20AC");
  EXPECT_EQ(fromUnits("UTF-16BE", u"A\u20AC"), std::string("\0A\x20\xAC", 4));
  EXPECT_EQ(toNativeUtf8("windows-1252", "\x80 \x93x\x94"),
            "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D");
  EXPECT_EQ(toNative("cp1252", "\xE2\x82\xAC\xC3\xA9"), "\x80\xE9");
  EXPECT_EQ(toNative("windows-1252", "\xE4\xB8\xAD"), "?");  // unmappable
  // A UTF-16 text of a lone byte-order mark decodes to nothing: a null result.
  EXPECT_EQ(toUnits("UTF-16", std::string("\xFE\xFF", 2)), u"<null>");
}

TEST(KyConversion, MalformedUtf8DecodesAsTheJvmDoes) {
  const char* utf8 = "UTF-8";
  EXPECT_EQ(toUnits(utf8, "\xC3\xA9"), u"\u00E9");
  EXPECT_EQ(toUnits(utf8, "\xC0\x80"), u"\uFFFD\uFFFD");            // overlong NUL
  EXPECT_EQ(toUnits(utf8, "\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");  // overlong 3-byte
  EXPECT_EQ(toUnits(utf8, "\xED\xA0\x80"), u"\uFFFD");              // encoded surrogate
  EXPECT_EQ(toUnits(utf8, "\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(toUnits(utf8, "\xF0\x9F\x98"), u"\uFFFD");    // truncated at the end: one U+FFFD
  EXPECT_EQ(toUnits(utf8, "\xF0\x9F\x98x"), u"\uFFFDx");  // cut short before another character
  EXPECT_EQ(toUnits(utf8, "\xE2\x82"), u"\uFFFD");
  EXPECT_EQ(toUnits(utf8, "\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
  EXPECT_EQ(toUnits(utf8, "\xF5\xFF\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(toUnits(utf8, std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  // Through strlen: the text ends at its first NUL.
  EXPECT_EQ(toNativeUtf8(utf8, "\xF0\x9F\x98\x80\xE2"), "\xED\xA0\xBD\xED\xB8\x80\xEF\xBF\xBD");
}

TEST(KyConversion, UsAsciiDecodesHighBytesToReplacement) {
  EXPECT_EQ(toUnits("US-ASCII", "a\x80\xFF"), u"a\uFFFD\uFFFD");
  EXPECT_EQ(toUnits("ISO-8859-1", "a\x80\xFF"), u"a\u0080\u00FF");
}

TEST(KyConversion, UnmappableAndUnpairedSurrogatesEncodeAsQuestionMarks) {
  const std::u16string mixed =
      u"a\U0001F600b\xD800"
      u"c\xDC00"
      u"\u00E9\u4E2D";
  EXPECT_EQ(fromUnits("UTF-8", mixed),
            "a\xF0\x9F\x98\x80"
            "b?c?\xC3\xA9\xE4\xB8\xAD");
  EXPECT_EQ(fromUnits("ISO-8859-1", mixed), "a?b?c?\xE9?");
  EXPECT_EQ(fromUnits("US-ASCII", mixed), "a?b?c???");
  // A high surrogate at the very end, and zero units inside an explicit length.
  EXPECT_EQ(fromUnits("UTF-8", std::u16string(u"x\0\xD83D", 3)), std::string("x\0?", 3));
}

TEST(KyConversion, ModifiedUtf8SideMatchesTheJvmsStringForm) {
  // Supplementary characters leave as two 3-byte surrogate forms and come back as one.
  EXPECT_EQ(toNativeUtf8("UTF-8", "\xF0\x9F\x98\x80"), "\xED\xA0\xBD\xED\xB8\x80");
  EXPECT_EQ(toNative("UTF-8", "\xED\xA0\xBD\xED\xB8\x80"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(toNative("ISO-8859-1", "\xED\xA0\xBD\xED\xB8\x80\xC3\xA9"), "?\xE9");
  // C0 80 is U+0000, which ends the native text.
  EXPECT_EQ(toNative("UTF-8",
                     "a\xC0\x80"
                     "b"),
            "a");
  // Malformed modified UTF-8 reads as the JVM reads it: a stray byte is its own character and
  // takes the place of a later one.
  EXPECT_EQ(toNative("ISO-8859-1", "\xE9t\xE9"), "\xE9t\xE9");
  EXPECT_EQ(toNative("ISO-8859-1",
                     "a\x80"
                     "bc"),
            "a\x80"
            "b");
}

TEST(KyConversion, EightBitHelpers) {
  Text doubled(KyConversion::fromEightBitCharToUTF8("\xE9\xE9\xE9"));
  EXPECT_EQ(doubled.str(), "\xC3\xA9\xC3\xA9\xC3\xA9");
  EXPECT_EQ(std::strlen(doubled.p), 6u);
  EXPECT_EQ(Text(KyConversion::fromUTF8ToEightBitChar("a\xC3\xA9z")).str(), "a\xE9z");
  // A lead byte just before the terminator is dropped, and nothing past it is read.
  char* truncated = static_cast<char*>(std::malloc(3));
  std::memcpy(truncated, "a\xC3", 3);
  EXPECT_EQ(Text(KyConversion::fromUTF8ToEightBitChar(truncated)).str(), "a");
  std::free(truncated);
  EXPECT_TRUE(Text(KyConversion::fromEightBitCharToUTF8(nullptr)).isNull());
  EXPECT_TRUE(Text(KyConversion::fromUTF8ToEightBitChar(nullptr)).isNull());
  EXPECT_EQ(Text(KyConversion::fromEightBitCharToUTF8("")).str(), "");
}

TEST(KyConversion, SixteenBitHelpers) {
  auto u = [](const char16_t* s) {
    return const_cast<unsigned short*>(reinterpret_cast<const unsigned short*>(s));
  };
  EXPECT_EQ(jatol(u(u"  -42x")), -42);
  EXPECT_EQ(jatol(u(u"+7")), 7);
  EXPECT_EQ(jatol(u(u"\t 12 3")), 12);
  EXPECT_EQ(jatol(u(u"x1")), 0);
  EXPECT_EQ(jatol(u(u"-")), 0);

  unsigned short* hay = u(u"abcabd");
  EXPECT_EQ(jcsstr(hay, u(u"")), hay);
  EXPECT_EQ(jcsstr(hay, u(u"abd")), hay + 3);
  EXPECT_EQ(jcsstr(hay, u(u"abe")), nullptr);
  EXPECT_EQ(jcsstr(u(u""), u(u"a")), nullptr);
  EXPECT_EQ(jcslen(hay), 6);

  unsigned short buf[6];
  std::fill(buf, buf + 6, 0xFFFF);
  jcsncpy(buf, u(u"ab"), 5);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buf), 6),
            std::u16string(u"ab\0\0\0\xFFFF", 6));
  jcsncpy(buf, u(u"abcdefgh"), 3);
  EXPECT_EQ(buf[2], 'c');
  EXPECT_EQ(buf[3], 0);  // untouched past n, from the previous copy
  jcscpy(buf, u(u"xyz"));
  EXPECT_EQ(jcslen(buf), 3);

  char bytes[8];
  EXPECT_EQ(jcstoacs(bytes, u(u"h\u0141i"), 8), 3u);
  EXPECT_EQ(std::string(bytes), "h\x41i");
  EXPECT_EQ(jcstoacs(bytes, u(u"hello"), 2), 2u);
  unsigned short wide[8];
  EXPECT_EQ(acstojcs(wide, "a\xE9", 8), 2u);
  EXPECT_EQ(wide[1], 0x00E9);  // widened without sign
  EXPECT_EQ(wide[2], 0);
}

TEST(KyConversion, ThreadsSharingANewNameAllConvertAlike) {
  // Threads of their own (null env: each attaches itself) racing to resolve the same names.
  const char* names[] = {"Latin1", "IBM437", "utf-8", "Cp1252"};
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        KyConversion conv(names[(t + i) % 4]);
        char* native = conv.fromUTF8ToNative(nullptr, "pi\xC3\xA9");
        char* back = conv.fromNativeToUTF8(nullptr, native);
        if (back == nullptr || std::strcmp(back, "pi\xC3\xA9") != 0) ++failures[t];
        std::free(native);
        std::free(back);
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

TEST(KyConversion, InitStaticIsIdempotent) {
  KyConversion::initStatic(vytest::env());
  KyConversion::initStatic(nullptr);
  EXPECT_EQ(toNativeUtf8("UTF-8", "ok"), "ok");
}

}  // namespace

namespace {

// Whether ASCII may skip the conversion is the encoding's own answer: by nature for the three
// native charsets, by a probe through the JVM for any other, and no for what cannot be resolved.
TEST(KyConversion, AsciiCompatibilityIsTheEncodingsOwn) {
  for (const char* yes : {"UTF-8", "utf8", "ISO-8859-1", "US-ASCII", "windows-1252", "Shift_JIS"}) {
    KyConversion conv(yes);
    EXPECT_TRUE(conv.asciiCompatible()) << yes;
    EXPECT_TRUE(conv.asciiCompatible()) << yes << ", asked again";
  }
  for (const char* no : {"UTF-16", "UTF-16LE", "IBM037", "no-such-charset"}) {
    KyConversion conv(no);
    EXPECT_FALSE(conv.asciiCompatible()) << no;
  }
  KyConversion none(nullptr);
  EXPECT_FALSE(none.asciiCompatible());
  EXPECT_FALSE(vytest::env()->ExceptionCheck());
}

}  // namespace

// Short texts are converted into a buffer of their worst case without counting, longer ones are
// counted first: texts that reach the worst case (every byte or unit at its largest growth),
// around the length where one way gives way to the other, equal the JVM's results.
TEST(KyConversion, WorstCaseGrowthAroundTheCountingLengthEqualsTheJvm) {
  for (const char* enc : {"UTF-8", "ISO-8859-1", "US-ASCII"}) {
    KyConversion conv(enc);
    for (size_t n = 1; n <= 80; ++n) {
      SCOPED_TRACE(std::string(enc) + " length " + std::to_string(n));
      // Malformed bytes (U+FFFD each in UTF-8 and US-ASCII), Latin-1 letters in ISO-8859-1.
      std::string high(n, '\xFF');
      Text a(conv.fromNativeToUTF8(vytest::env(), high.c_str()));
      Text b(conv.jvmNativeToUTF8(vytest::env(), high.c_str()));
      EXPECT_EQ(a.str(), b.str());
      // Two-byte characters that each become two native bytes or one "?".
      std::string twos;
      for (size_t i = 0; i < n; ++i) twos += "\xC3\xA9";
      Text c(conv.fromUTF8ToNative(vytest::env(), twos.c_str()));
      Text d(conv.jvmUTF8ToNative(vytest::env(), twos.c_str()));
      EXPECT_EQ(c.str(), d.str());
      // Units that each take three UTF-8 bytes; NULs included by the explicit length.
      std::u16string units(n, u'\u4E2D');
      units[n / 2] = 0;
      int la = static_cast<int>(n), lb = la;
      auto u = reinterpret_cast<const unsigned short*>(units.data());
      Text e(conv.fromUTF16ToNative(vytest::env(), u, la));
      Text f(conv.jvmUTF16ToNative(vytest::env(), u, lb));
      ASSERT_EQ(la, lb);
      ASSERT_FALSE(e.isNull());
      EXPECT_EQ(std::memcmp(e.p, f.p, static_cast<size_t>(la) + 1), 0);
    }
  }
}

// Long well-formed texts with one malformed spot (a stray continuation byte, which makes
// NewStringUTF read on differently to the text's end; a cut sequence; a lone surrogate) at
// several places, across the vector code's window and block edges, and a text of 4-byte and
// 3-byte characters alone, equal the JVM's results both ways.
TEST(KyConversion, LongTextsWithOneMalformedSpotAfterCleanChunksEqualTheJvm) {
  KyConversion conv("UTF-8");
  std::string clean;
  for (int i = 0; clean.size() < 30000; ++i)
    clean += i % 3 == 0 ? "caf\xC3\xA9 \xE4\xB8\xAD\xF0\x9F\x98\x80" : "order line ";
  const char* const spots[] = {"\x80", "\xE4\xB8", "\xED\xA0\x80", "\xED\xB0\x80", "\xC3"};
  for (size_t at : {100u, 8150u, 8190u, 8200u, 8250u, 16390u, 29000u}) {
    for (const char* spot : spots) {
      SCOPED_TRACE("at " + std::to_string(at) + ", spot of " + std::to_string(std::strlen(spot)));
      std::string text = clean.substr(0, at) + spot + clean.substr(at);
      Text a(conv.fromNativeToUTF8(vytest::env(), text.c_str()));
      Text b(conv.jvmNativeToUTF8(vytest::env(), text.c_str()));
      EXPECT_EQ(a.str(), b.str());
      Text c(conv.fromUTF8ToNative(vytest::env(), text.c_str()));
      Text d(conv.jvmUTF8ToNative(vytest::env(), text.c_str()));
      EXPECT_EQ(c.str(), d.str());
    }
  }
  std::string cjk;
  for (int i = 0; i < 6000; ++i) cjk += i % 2 ? "\xE4\xB8\xAD" : "\xF0\x9F\x98\x80";
  Text a(conv.fromNativeToUTF8(vytest::env(), cjk.c_str()));
  Text b(conv.jvmNativeToUTF8(vytest::env(), cjk.c_str()));
  EXPECT_EQ(a.str(), b.str());
}
