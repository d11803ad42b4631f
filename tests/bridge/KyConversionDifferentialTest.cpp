// The native conversions against the JVM's own, on random texts biased towards what is hard to
// get right: malformed and truncated UTF-8, encoded surrogates, overlong forms, unpaired
// surrogates, supplementary characters and zero units inside explicit lengths.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "KyConversion.hpp"
#include "VyTestAgent.hpp"

namespace {

constexpr int kRuns = 100000;   // per direction and charset
constexpr int kLongRuns = 100;  // long texts, converted past their leading ASCII run

class Generator {
 public:
  explicit Generator(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}

  void setLong(bool value) { long_ = value; }
  // Texts longer still, whose worst case is more than a thread keeps room for.
  void setHuge(bool value) { huge_ = value; }
  // Long texts may open with an ASCII run of a random length, up to all of the text: the native
  // paths copy such a run as they go and convert from where it ends.
  void setAsciiRuns(bool value) { asciiRuns_ = value; }

  // Native bytes; `nul` allows zero bytes (explicit lengths).
  std::string nativeBytes(bool nul) {
    size_t target = length();
    std::string s(asciiRun(target), 'n');
    while (s.size() < target) {
      switch (pick(12)) {
        case 0:
        case 1:
        case 2:
          s += static_cast<char>(0x20 + pick(0x5F));
          break;
        case 3:
          appendUtf8(s, codePoint());
          break;
        case 4: {  // a valid sequence cut short
          std::string seq;
          appendUtf8(seq, 0x800 + pick(0x10F800));
          s += seq.substr(0, 1 + pick(static_cast<unsigned>(seq.size()) - 1));
          break;
        }
        case 5:  // a surrogate encoded in UTF-8
          appendBytes(s, {0xED, 0xA0 + pick(0x20), 0x80 + pick(0x40)});
          break;
        case 6: {  // overlong forms
          unsigned kind = pick(3);
          if (kind == 0) appendBytes(s, {0xC0 + pick(2), 0x80 + pick(0x40)});
          if (kind == 1) appendBytes(s, {0xE0, 0x80 + pick(0x20), 0x80 + pick(0x40)});
          if (kind == 2)
            appendBytes(s, {0xF0, 0x80 + pick(0x10), 0x80 + pick(0x40), 0x80 + pick(0x40)});
          break;
        }
        case 7:  // beyond U+10FFFF, or lead bytes F5..FF
          appendBytes(s,
                      {0xF4 + pick(12), 0x80 + pick(0x40), 0x80 + pick(0x40), 0x80 + pick(0x40)});
          break;
        case 8:
          s += static_cast<char>(0x80 + pick(0x40));  // stray continuation
          break;
        case 9:
          s += static_cast<char>(0x80 + pick(0x80));
          break;
        case 10:
          s += static_cast<char>(pick(0x100));
          break;
        default:
          if (nul || pick(8) == 0) s += '\0';  // without explicit length it ends the text
          break;
      }
    }
    return s;
  }

  // Modified UTF-8 as GetStringUTFChars writes it, with malformed bytes mixed in. No NUL.
  std::string modifiedUtf8() {
    size_t target = length();
    std::string s(asciiRun(target), 'm');
    while (s.size() < target) {
      unsigned kind = pick(10);
      if (kind < 2) {
        s += static_cast<char>(0x20 + pick(0x5F));
      } else if (kind < 6) {
        appendModified(s, unit());
      } else if (kind == 6) {  // a supplementary character as two surrogate forms
        appendModified(s, 0xD800 + pick(0x400));
        appendModified(s, 0xDC00 + pick(0x400));
      } else if (kind == 7) {  // a modified sequence cut short
        std::string seq;
        appendModified(seq, 0x800 + pick(0xF800));
        s += seq.substr(0, 1 + pick(2));
      } else if (kind == 8) {
        appendUtf8(s, 0x10000 + pick(0x100000));  // 4-byte forms mean nothing here
      } else {
        s += static_cast<char>(0x80 + pick(0x80));
      }
    }
    return s;
  }

  std::u16string units() {
    size_t target = length();
    std::u16string s(asciiRun(target), u'u');
    while (s.size() < target) {
      if (pick(6) == 0) {  // a valid pair
        s += static_cast<char16_t>(0xD800 + pick(0x400));
        s += static_cast<char16_t>(0xDC00 + pick(0x400));
      } else {
        s += static_cast<char16_t>(unit());
      }
    }
    return s;
  }

 private:
  // xorshift64*: plenty for test data, and cheap in unoptimised builds.
  unsigned pick(unsigned n) {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<unsigned>(((state_ * 0x2545F4914F6CDD1DULL) >> 32) % n);
  }

  // Mostly short texts, some longer ones.
  size_t length() {
    if (huge_) return 140000 + pick(60000);
    if (long_) return 2800 + pick(9000);
    unsigned r = pick(100);
    if (r < 75) return 1 + pick(12);
    if (r < 98) return 13 + pick(40);
    return 53 + pick(300);
  }

  uint32_t codePoint() {
    switch (pick(4)) {
      case 0:
        return 0x80 + pick(0x780);
      case 1: {
        uint32_t c = 0x800 + pick(0xF800);
        return (c >= 0xD800 && c < 0xE000) ? 0xFFFD : c;
      }
      case 2:
        return 0x10000 + pick(0x100000);
      default:
        return 0x80 + pick(0x80);
    }
  }

  uint32_t unit() {
    switch (pick(9)) {
      case 0:
        return 0;
      case 1:
        return 1 + pick(0x7F);
      case 2:
        return 0x80 + pick(0x80);
      case 3:
        return 0x100 + pick(0x700);
      case 4:
        return 0x800 + pick(0xF800);
      case 5:
        return 0xD800 + pick(0x400);  // lone high
      case 6:
        return 0xDC00 + pick(0x400);  // lone low
      case 7:
        return 0xFFFD + pick(3);
      default:
        return 'a' + pick(26);
    }
  }

  static void appendBytes(std::string& s, std::initializer_list<unsigned> bytes) {
    for (unsigned b : bytes) s += static_cast<char>(b);
  }

  static void appendUtf8(std::string& s, uint32_t c) {
    if (c < 0x80) {
      appendBytes(s, {c});
    } else if (c < 0x800) {
      appendBytes(s, {0xC0 | (c >> 6), 0x80 | (c & 0x3F)});
    } else if (c < 0x10000) {
      appendBytes(s, {0xE0 | (c >> 12), 0x80 | ((c >> 6) & 0x3F), 0x80 | (c & 0x3F)});
    } else {
      appendBytes(s, {0xF0 | (c >> 18), 0x80 | ((c >> 12) & 0x3F), 0x80 | ((c >> 6) & 0x3F),
                      0x80 | (c & 0x3F)});
    }
  }

  static void appendModified(std::string& s, uint32_t unit) {
    if (unit == 0) {
      appendBytes(s, {0xC0, 0x80});
    } else if (unit < 0x80) {
      appendBytes(s, {unit});
    } else if (unit < 0x800) {
      appendBytes(s, {0xC0 | (unit >> 6), 0x80 | (unit & 0x3F)});
    } else {
      appendBytes(s, {0xE0 | (unit >> 12), 0x80 | ((unit >> 6) & 0x3F), 0x80 | (unit & 0x3F)});
    }
  }

  size_t asciiRun(size_t target) {
    if (!asciiRuns_) return 0;
    return pick(4) == 0 ? target : target - pick(static_cast<unsigned>(target / 2));
  }

  uint64_t state_;
  bool long_ = false;
  bool huge_ = false;
  bool asciiRuns_ = false;
};

std::string hex(const void* data, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  auto p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < n; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 0xF];
    out += ' ';
  }
  return out;
}

struct Outcome {
  long mismatches = 0;
  std::vector<std::string> samples;
  void miss(const std::string& what) {
    if (++mismatches <= 5) samples.push_back(what);
  }
};

bool sameText(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}

std::string show(const char* p) { return p ? hex(p, std::strlen(p)) : "null"; }

// Runs every direction for one encoding name on the calling thread (a null env: the thread's own).
void runCharsetTexts(const char* encoding, unsigned seed, bool longTexts, bool asciiRuns,
                     Outcome* out) {
  Generator gen(seed);
  gen.setLong(longTexts);
  gen.setAsciiRuns(asciiRuns);
  const int runs = longTexts ? kLongRuns : kRuns;
  KyConversion conv(encoding);
  for (int i = 0; i < runs; ++i) {
    std::string in = gen.nativeBytes(false);
    char* a = conv.fromNativeToUTF8(nullptr, in.c_str());
    char* b = conv.jvmNativeToUTF8(nullptr, in.c_str());
    if (!sameText(a, b))
      out->miss("toUTF8 " + hex(in.data(), in.size()) + "-> " + show(a) + "vs " + show(b));
    std::free(a);
    std::free(b);
  }
  for (int i = 0; i < runs; ++i) {
    std::string in = gen.modifiedUtf8();
    char* a = conv.fromUTF8ToNative(nullptr, in.c_str());
    char* b = conv.jvmUTF8ToNative(nullptr, in.c_str());
    if (!sameText(a, b))
      out->miss("fromUTF8 " + hex(in.data(), in.size()) + "-> " + show(a) + "vs " + show(b));
    std::free(a);
    std::free(b);
  }
  for (int i = 0; i < runs; ++i) {
    std::string in = gen.nativeBytes(true);
    int given = (i % 16 == 0) ? -1 : static_cast<int>(in.size());
    int la = given, lb = given;
    unsigned short* a = conv.fromNativeToUTF16(nullptr, in.c_str(), la);
    unsigned short* b = conv.jvmNativeToUTF16(nullptr, in.c_str(), lb);
    bool same = (a == nullptr) == (b == nullptr) && la == lb &&
                (a == nullptr || std::memcmp(a, b, (static_cast<size_t>(la) + 1) * 2) == 0);
    if (!same)
      out->miss("toUTF16 " + hex(in.data(), in.size()) + "-> " + (a ? hex(a, la * 2u) : "null") +
                "vs " + (b ? hex(b, lb * 2u) : "null"));
    std::free(a);
    std::free(b);
  }
  for (int i = 0; i < runs; ++i) {
    std::u16string in = gen.units();
    auto units = reinterpret_cast<const unsigned short*>(in.c_str());
    int given = (i % 16 == 0) ? -1 : static_cast<int>(in.size());
    int la = given, lb = given;
    char* a = conv.fromUTF16ToNative(nullptr, units, la);
    char* b = conv.jvmUTF16ToNative(nullptr, units, lb);
    bool same = (a == nullptr) == (b == nullptr) && la == lb &&
                (a == nullptr || std::memcmp(a, b, static_cast<size_t>(la) + 1) == 0);
    if (!same)
      out->miss("fromUTF16 " + hex(in.data(), in.size() * 2) + "-> " + (a ? hex(a, la) : "null") +
                "vs " + (b ? hex(b, lb) : "null"));
    std::free(a);
    std::free(b);
  }
}

// A few huge texts to and from UTF-8, with ASCII runs before them or not: measured before they
// are written rather than converted through the thread's room.
void runHugeTexts(const char* encoding, unsigned seed, Outcome* out) {
  Generator gen(seed);
  gen.setHuge(true);
  KyConversion conv(encoding);
  for (int i = 0; i < 4; ++i) {
    gen.setAsciiRuns(i % 2 != 0);
    std::string in = gen.nativeBytes(false);
    char* a = conv.fromNativeToUTF8(nullptr, in.c_str());
    char* b = conv.jvmNativeToUTF8(nullptr, in.c_str());
    if (!sameText(a, b)) out->miss("huge toUTF8 of " + std::to_string(in.size()) + " bytes");
    std::free(a);
    std::free(b);
    in = gen.modifiedUtf8();
    a = conv.fromUTF8ToNative(nullptr, in.c_str());
    b = conv.jvmUTF8ToNative(nullptr, in.c_str());
    if (!sameText(a, b)) out->miss("huge fromUTF8 of " + std::to_string(in.size()) + " bytes");
    std::free(a);
    std::free(b);
  }
}

void runCharset(const char* encoding, unsigned seed, Outcome* out) {
  for (bool longTexts : {false, true}) runCharsetTexts(encoding, seed, longTexts, false, out);
  runCharsetTexts(encoding, seed, true, true, out);
  runHugeTexts(encoding, seed, out);
}

TEST(KyConversionDifferential, NativePathsEqualTheJvmForEveryInput) {
  const char* names[] = {"UTF-8", "ISO-8859-1", "US-ASCII", "utf8", "latin1", "ASCII"};
  constexpr int kCount = sizeof(names) / sizeof(names[0]);
  std::vector<Outcome> outcomes(kCount);
  // Two threads of their own, each attached by the conversions themselves (fresh threads also
  // keep the JNI checker's per-call bookkeeping small).
  auto worker = [&](int first) {
    for (int i = first; i < kCount; i += 2) runCharset(names[i], 1000u + i, &outcomes[i]);
  };
  std::thread even(worker, 0);
  std::thread odd(worker, 1);
  even.join();
  odd.join();
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(outcomes[i].mismatches, 0) << names[i];
    for (const std::string& s : outcomes[i].samples) ADD_FAILURE() << names[i] << ": " << s;
  }
  EXPECT_FALSE(vytest::env()->ExceptionCheck());
}

}  // namespace
