// The vector paths of the codecs against the scalar code, which the differential tests and the
// conversion fuzzer hold to the JVM: every direction and charset, over texts built to put
// well-formed and malformed sequences, surrogates, NULs and ASCII runs across the window and
// chunk edges of the vector code.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Codec.hpp"

namespace {

using vy::codec::Charset;
using vy::codec::Converted;

const Charset kCharsets[] = {Charset::kUtf8, Charset::kLatin1, Charset::kAscii};

// Pieces texts are made of: ASCII runs, characters of every UTF-8 length, modified UTF-8's own
// forms (encoded surrogates, C0 80), and malformed or cut sequences.
const std::vector<std::string>& pieces() {
  static const std::vector<std::string> p = {"a",
                                             "order line 12345 ",
                                             "        ",
                                             "\xC3\xA9",
                                             "\xDF\xBF",
                                             "\xE4\xB8\xAD",
                                             "\xEF\xBF\xBD",
                                             "\xF0\x9F\x98\x80",
                                             "\xF4\x8F\xBF\xBF",
                                             "\xED\xA0\xBD",
                                             "\xED\xB8\x80",
                                             "\xED\xA0\xBD\xED\xB8\x80",
                                             "\xC0\x80",
                                             "\x80",
                                             "\xBF\xBF",
                                             "\xC2",
                                             "\xE0\x80\x80",
                                             "\xE0\xA0",
                                             "\xF0\x90\x80",
                                             "\xF5\x80",
                                             "\xFF",
                                             "\xC1\xBF",
                                             "\xF8\x88\x80\x80\x80",
                                             "\xED\x9F\xBF",
                                             "\xF4\x90\x80\x80",
                                             "\x7F",
                                             std::string(1, '\0'),
                                             std::string(5, '\0')};
  return p;
}

std::string randomText(std::mt19937& rng, size_t target, int flavour) {
  const auto& p = pieces();
  std::string s;
  while (s.size() < target) {
    unsigned pick = rng() % 100;
    if (flavour == 0 && pick < 97) {
      s += p[rng() % 3];  // mostly ASCII, a rare other piece
    } else if (flavour == 1 && pick < 90) {
      s += p[rng() % 11];  // well formed, and the modified forms of surrogates
    } else if (flavour == 3) {
      // ASCII and 2-byte characters, as text in the Latin scripts mostly is, and now and then
      // C0 80, a stray continuation byte, a lone lead or an overlong form.
      s += pick < 95 ? p[rng() % 5] : p[12 + rng() % 4 + (pick == 99 ? 9 : 0)];
    } else {
      s += p[rng() % p.size()];
    }
  }
  s.resize(target);
  return s;
}

std::u16string randomUnits(std::mt19937& rng, size_t n, int flavour) {
  std::u16string u;
  for (size_t i = 0; i < n; ++i) {
    unsigned pick = rng() % 100;
    char16_t c;
    if (flavour == 0 && pick < 95) {
      c = static_cast<char16_t>(0x20 + rng() % 0x5F);
    } else if (pick < 40) {
      c = static_cast<char16_t>(rng() % 0x100);
    } else if (pick < 70) {
      c = static_cast<char16_t>(rng() % 0x800);
    } else if (pick < 85) {
      c = static_cast<char16_t>(0x800 + rng() % 0xF800);
    } else if (pick < 95 && i + 1 < n) {  // a pair
      u += static_cast<char16_t>(0xD800 + rng() % 0x400);
      c = static_cast<char16_t>(0xDC00 + rng() % 0x400);
      ++i;
    } else {
      c = static_cast<char16_t>(0xD800 + rng() % 0x800);  // a lone half
    }
    u += c;
  }
  return u;
}

template <typename T>
struct Result {
  std::vector<T> out;
  Converted c;
  bool operator==(const Result& o) const {
    return out == o.out && c.written == o.c.written && c.malformed == o.c.malformed;
  }
};

using vy::codec::VectorLevel;

constexpr size_t kCanary = 64;

// Runs `convert` with the scalar code and each vector level the machine has; all must agree.
template <typename T, typename F>
void expectSame(size_t capacity, F convert, const std::string& what) {
  Result<T> r[4];
  int levels = static_cast<int>(vy::codec::bestVectorLevel()) + 1;
  for (int level = 0; level < levels; ++level) {
    vy::codec::useVectorLevel(static_cast<VectorLevel>(level));
    // Vector stores run ahead of the result, but never past the capacity: a canary follows it.
    r[level].out.assign(capacity + kCanary, 0xAB);
    r[level].c = convert(r[level].out.data());
    ASSERT_LE(r[level].c.written, capacity) << what;
    for (size_t k = capacity; k < capacity + kCanary; ++k) {
      ASSERT_EQ(r[level].out[k], T{0xAB})
          << what << ", vector level " << level << ": past the capacity";
    }
    r[level].out.resize(r[level].c.written);
  }
  vy::codec::useVectorLevel(vy::codec::bestVectorLevel());
  for (int level = 1; level < levels; ++level) {
    EXPECT_TRUE(r[0] == r[level]) << what << ", vector level " << level << ": written "
                                  << r[0].c.written << " vs " << r[level].c.written
                                  << ", malformed " << r[0].c.malformed << " vs "
                                  << r[level].c.malformed;
  }
}

void checkBytes(Charset cs, const std::string& text, const std::string& what) {
  auto s = reinterpret_cast<const uint8_t*>(text.c_str());
  size_t n = text.size();
  expectSame<uint16_t>(
      vy::codec::utf16Capacity(n),
      [&](uint16_t* out) { return vy::codec::nativeToUtf16(cs, s, n, out); }, what + " to UTF-16");
  expectSame<uint8_t>(
      vy::codec::modifiedUtf8Capacity(s, n),
      [&](uint8_t* out) { return vy::codec::nativeToModifiedUtf8(cs, s, n, out); },
      what + " to modified UTF-8");
  std::string z(text.c_str());  // the modified form is read up to its terminator
  auto m = reinterpret_cast<const uint8_t*>(z.c_str());
  expectSame<uint8_t>(
      vy::codec::nativeCapacityFromModified(cs, m, z.size()),
      [&](uint8_t* out) { return vy::codec::modifiedUtf8ToNative(cs, m, z.size(), out); },
      what + " from modified UTF-8");
}

void checkUnits(Charset cs, const std::u16string& units, const std::string& what) {
  auto u = reinterpret_cast<const uint16_t*>(units.data());
  expectSame<uint8_t>(
      vy::codec::nativeCapacityFromUtf16(cs, u, units.size()),
      [&](uint8_t* out) { return vy::codec::utf16ToNative(cs, u, units.size(), out); },
      what + " from UTF-16");
}

TEST(Codec, VectorPathsMatchTheScalarCodeOnGeneratedTexts) {
  if (vy::codec::bestVectorLevel() == VectorLevel::kNone) GTEST_SKIP() << "no vector code here";
  std::mt19937 rng(7);
  const size_t lengths[] = {0, 1, 15, 16, 17, 63, 64, 65, 95, 96, 97, 128, 200, 300, 1000, 5000};
  for (size_t length : lengths) {
    for (int flavour = 0; flavour < 4; ++flavour) {
      for (int round = 0; round < 40; ++round) {
        std::string text = randomText(rng, length, flavour);
        std::u16string units = randomUnits(rng, length, flavour);
        for (Charset cs : kCharsets) {
          std::string what = "charset " + std::to_string(static_cast<int>(cs)) + ", length " +
                             std::to_string(length) + ", flavour " + std::to_string(flavour);
          checkBytes(cs, text, what);
          checkUnits(cs, units, what);
          if (HasFatalFailure()) return;
        }
      }
    }
  }
}

// One odd piece at every offset of a long ASCII text: each window and chunk edge sees it.
TEST(Codec, EveryPieceAtEveryOffsetAcrossTheWindowEdges) {
  if (vy::codec::bestVectorLevel() == VectorLevel::kNone) GTEST_SKIP() << "no vector code here";
  for (const std::string& piece : pieces()) {
    for (size_t at = 40; at < 140; ++at) {
      std::string text(200, 'x');
      text.replace(at, piece.size(), piece);
      for (Charset cs : kCharsets) {
        checkBytes(cs, text, "piece at " + std::to_string(at));
        checkBytes(cs, text.substr(0, at + piece.size()),
                   "piece at the end, " + std::to_string(at));
      }
    }
  }
  for (char16_t odd : {char16_t{0xE9}, char16_t{0x7FF}, char16_t{0x4E2D}, char16_t{0xD83D},
                       char16_t{0xDE00}, char16_t{0}}) {
    for (size_t at = 0; at < 40; ++at) {
      std::u16string units(40, u'y');
      units[at] = odd;
      if (odd == 0xD83D && at + 1 < units.size()) units[at + 1] = 0xDE00;
      for (Charset cs : kCharsets) checkUnits(cs, units, "unit at " + std::to_string(at));
    }
  }
}

// A character cut by a window's end (every cut, at two edges), then finished, or broken off by
// what follows: the window after it finishes it or, when malformed, must take back what the
// window before already wrote of it.
TEST(Codec, CharactersCutByAWindowEnd) {
  if (vy::codec::bestVectorLevel() == VectorLevel::kNone) GTEST_SKIP() << "no vector code here";
  const std::string chars[] = {"\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
                               "\xED\xA0\xBD\xED\xB8\x80"};
  const std::string after[] = {"", "x", "\x80", "\xFF", "\xC3\xA9", std::string(1, '\0')};
  for (size_t edge : {64, 128}) {
    for (const std::string& c : chars) {
      for (size_t cut = 1; cut < c.size(); ++cut) {
        for (size_t keep = cut; keep <= c.size(); ++keep) {
          for (const std::string& next : after) {
            std::string text = std::string(edge - cut, 'a') + c.substr(0, keep) + next;
            std::string what = "cut " + std::to_string(cut) + " of " + std::to_string(c.size()) +
                               " at " + std::to_string(edge) + ", kept " + std::to_string(keep);
            for (Charset cs : kCharsets) {
              checkBytes(cs, text, what);
              checkBytes(cs, text + std::string(70, 'b'), what + ", more after");
            }
          }
        }
      }
    }
  }
}

// Texts dense in what the vector code transcodes in place (4-byte sequences, surrogate pairs, CJK)
// or units it handles across its block edges (a pair or a lone half at every offset), around
// the window and block sizes.
TEST(Codec, DenseTextsAndUnitsAtEveryBlockOffset) {
  if (vy::codec::bestVectorLevel() == VectorLevel::kNone) GTEST_SKIP() << "no vector code here";
  const std::string dense[] = {"\xF0\x9F\x98\x80", "\xED\xA0\xBD\xED\xB8\x80x",
                               "\xE4\xB8\xAD\xC3\xA9", "\xF4\x8F\xBF\xBFz\xC2\x80"};
  for (const std::string& unit : dense) {
    for (size_t n : {63, 64, 65, 127, 128, 129, 200}) {
      std::string text;
      while (text.size() < n) text += unit;
      for (Charset cs : kCharsets) checkBytes(cs, text.substr(0, n), "dense, " + std::to_string(n));
    }
  }
  for (size_t n : {31, 32, 33, 48, 64, 70}) {
    for (size_t at = 0; at < n; ++at) {
      std::u16string pair(n, u'q'), lone(n, u'\xE9'), twoLows(n, u'r');
      pair[at] = 0xD83D;
      if (at + 1 < n) pair[at + 1] = 0xDE00;
      lone[at] = at % 2 != 0 ? 0xDBFF : 0xDC00;
      twoLows[at] = 0xDC00;
      if (at + 1 < n) twoLows[at + 1] = 0xDC01;
      for (Charset cs : kCharsets) {
        std::string what = "unit at " + std::to_string(at) + " of " + std::to_string(n);
        checkUnits(cs, pair, what + ", pair");
        checkUnits(cs, lone, what + ", lone");
        checkUnits(cs, twoLows, what + ", two lows");
      }
    }
  }
}

// What the copying directions transcode in place (a 4-byte sequence, a surrogate pair, a lone
// half) at every offset across a window edge, followed by what decides or breaks it: more of the
// same, a malformed byte or a cut sequence (after which the window's output must be taken back),
// a NUL, or the text's end.
TEST(Codec, TranscodedCharactersAndWhatFollowsThemAcrossAWindowEdge) {
  if (vy::codec::bestVectorLevel() == VectorLevel::kNone) GTEST_SKIP() << "no vector code here";
  const std::string odd[] = {"\xF0\x9F\x98\x80", "\xED\xA0\xBD\xED\xB8\x80",
                             "\xED\xA0\xBD",     "\xED\xB8\x80",
                             "\xED\x9F\xBF",     "\xF0\x9F\x98"};
  const std::string after[] = {"",
                               "x",
                               "\xFF",
                               "\x80",
                               std::string(1, '\0'),
                               "\xED\xB8",
                               "\xF0\x9F",
                               "\xED\xB8\x80",
                               "\xF0\x90\x80\x80\xED\xA0\xBD",
                               "\xC0\x80"};
  for (const std::string& c : odd) {
    for (const std::string& next : after) {
      for (size_t at = 52; at < 134; ++at) {
        std::string text = std::string(at, 'a') + c + next;
        std::string what = "at " + std::to_string(at) + ", " + std::to_string(c.size()) +
                           " bytes, then " + std::to_string(next.size());
        for (Charset cs : kCharsets) {
          checkBytes(cs, text, what);
          checkBytes(cs, text + std::string(80, 'b'), what + ", more after");
        }
        if (HasFatalFailure()) return;
      }
    }
  }
}

// UTF-16 to UTF-8 in blocks of 32 units, 64 while they are ASCII, a surrogate pair written half
// by each of its units: a pair, a lone half and the mixes the JVM resolves in order (H H L,
// H L L) at every offset around the block edges, over backgrounds of every UTF-8 length, and
// UTF-8's boundary characters at every offset the other way.
TEST(Codec, SurrogatesAndBoundaryCharactersAtEveryBlockOffset) {
  if (vy::codec::bestVectorLevel() == VectorLevel::kNone) GTEST_SKIP() << "no vector code here";
  const std::u16string odd[] = {
      u"\xD83D\xDE00", u"\xDBFF\xDFFF",       u"\xD800\xDC00",       u"\xD800",
      u"\xDFFF",       u"\xD83D\xD83D\xDE00", u"\xD83D\xDE00\xDE00", u"\xDE00\xD83D"};
  for (char16_t background : {u'a', u'\xE9', u'\x4E2D'}) {
    for (size_t n : {32, 63, 64, 65, 96, 130}) {
      for (const std::u16string& piece : odd) {
        for (size_t at = 0; at + piece.size() <= n; ++at) {
          std::u16string units(n, background);
          units.replace(at, piece.size(), piece);
          std::string what = "piece at " + std::to_string(at) + " of " + std::to_string(n);
          for (Charset cs : kCharsets) checkUnits(cs, units, what);
          if (HasFatalFailure()) return;
        }
      }
    }
  }
  // Pairs and lone halves everywhere, over an ASCII run long enough for the 64-unit path.
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::u16string units(130 + rng() % 70, u'x');
    for (int k = 0; k < 6; ++k) {
      size_t at = rng() % units.size();
      units[at] =
          static_cast<char16_t>(k % 3 == 0 ? 0xD800 + rng() % 0x800 : 0x80 + rng() % 0x7F80);
      if (k % 2 == 0 && at + 1 < units.size()) units[at + 1] = 0xDC00 + rng() % 0x400;
    }
    checkUnits(Charset::kUtf8, units, "random round " + std::to_string(round));
  }
  const std::string boundary[] = {"\xC2\x80",     "\xDF\xBF",         "\xE0\xA0\x80",
                                  "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
                                  "\x7F"};
  for (const std::string& c : boundary) {
    for (size_t at = 0; at < 70; ++at) {
      std::string text(at, 'z');
      while (text.size() < 140) text += c;
      checkBytes(Charset::kUtf8, text, "boundary character from " + std::to_string(at));
    }
  }
}

// What the codecs report: where the first replacement was needed.
TEST(Codec, ReportsWhereInputWasFirstMalformed) {
  for (int level = 0; level <= static_cast<int>(vy::codec::bestVectorLevel()); ++level) {
    vy::codec::useVectorLevel(static_cast<VectorLevel>(level));
    std::string text(100, 'a');
    text[70] = '\xFF';
    text[90] = '\x80';
    std::vector<uint16_t> units(vy::codec::utf16Capacity(text.size()));
    auto s = reinterpret_cast<const uint8_t*>(text.data());
    Converted c = vy::codec::nativeToUtf16(Charset::kUtf8, s, text.size(), units.data());
    EXPECT_EQ(c.written, 100u);
    EXPECT_EQ(c.malformed, 70u);
    EXPECT_EQ(units[70], 0xFFFD);
    c = vy::codec::nativeToUtf16(Charset::kLatin1, s, text.size(), units.data());
    EXPECT_EQ(c.malformed, 100u) << "every byte is a Latin-1 character";

    std::u16string u(50, u'b');
    u[33] = 0xDC00;  // a low half alone
    std::vector<uint8_t> bytes(vy::codec::nativeCapacityFromUtf16(
        Charset::kUtf8, reinterpret_cast<const uint16_t*>(u.data()), u.size()));
    c = vy::codec::utf16ToNative(Charset::kUtf8, reinterpret_cast<const uint16_t*>(u.data()),
                                 u.size(), bytes.data());
    EXPECT_EQ(c.written, 50u);
    EXPECT_EQ(c.malformed, 33u);
    EXPECT_EQ(bytes[33], '?');
  }
  vy::codec::useVectorLevel(vy::codec::bestVectorLevel());
}

}  // namespace
