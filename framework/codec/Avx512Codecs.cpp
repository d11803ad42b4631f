// The AVX-512 level (BW, VL, VBMI, VBMI2): whole conversions, short texts included. Texts are
// read in 64-byte windows with masked loads, so neither a short text nor the tail of a long one
// is copied or padded, and transcoded without a per-character loop (the copying directions
// write their few transcoded characters over a copy of the window); a window holding malformed
// input goes to the exact scalar code.
//
// Windows follow each other at a fixed stride, so that the next window's address never waits on
// this one's contents: validation carries the bytes before a window over from the one before, and
// a character cut by a window's end is finished by the next window. The copying directions copy
// its pieces or write it whole; the decoder computes each character at the position of its last
// byte, from the bytes before it. Only a window with malformed input moves the next window.
#include "Avx512Codecs.hpp"

#include <type_traits>

#include "ScalarCodec.hpp"

#if VY_CODEC_X86

namespace vy::codec::x86::avx512 {
namespace {

VY_AVX512_INLINE __m512i bytesOf(uint8_t b) { return _mm512_set1_epi8(static_cast<char>(b)); }
VY_AVX512_INLINE __m512i wordsOf(uint16_t w) { return _mm512_set1_epi16(static_cast<short>(w)); }
VY_AVX512_INLINE uint64_t below(size_t end) { return end >= 64 ? ~0ULL : (1ULL << end) - 1; }
VY_AVX512_INLINE uint64_t atLeast(__m512i v, uint8_t floor) {
  return _mm512_cmpge_epu8_mask(v, bytesOf(floor));
}

// ---- windows ------------------------------------------------------------------------------------

// A window at s + i, with the three bytes before each of its bytes: zeros, as before a text, when
// nothing before i was validated with it (the text's start, or where the scalar code stopped);
// otherwise the previous window's, and a character that window left unfinished goes on here.
struct Window {
  __m512i v, p1, p2, p3;
  uint64_t live;  // the bytes of the text (the rest read as zeros)
  uint64_t high;  // bytes from 0x80
  size_t count;   // 64, or what is left
};

VY_AVX512_INLINE Window fullWindowAt(const uint8_t* s, size_t i) {
  Window w;
  w.count = 64;
  w.live = ~0ULL;
  w.v = _mm512_loadu_si512(s + i);
  w.high = _mm512_movepi8_mask(w.v);
  return w;
}

VY_AVX512_INLINE Window windowAt(const uint8_t* s, size_t n, size_t i) {
  size_t left = n - i;
  Window w;
  w.count = left >= 64 ? 64 : left;
  w.live = below(w.count);
  w.v = left >= 64 ? _mm512_loadu_si512(s + i) : loadShort(s + i, w.live, left);
  w.high = _mm512_movepi8_mask(w.v);
  return w;
}

// What came before a window: nothing validated (the text's start, or where the scalar code
// stopped), the previous window whole and in a register, or a validated window that ended short.
struct Before {
  enum From : uint8_t { kNothing, kWindow, kMemory };
  __m512i v;
  From from = kNothing;
  bool ascii = false;  // the previous window was plain ASCII
  bool fresh() const { return from == kNothing; }
  VY_AVX512_INLINE void window(__m512i last, size_t end, bool plain = false) {
    v = last;
    from = end == 64 ? kWindow : kMemory;
    ascii = plain;
  }
  VY_AVX512_INLINE void nothing() {
    from = kNothing;
    ascii = false;
  }
};

// vpermt2b indexes: the byte `back` places before each one, from the previous window (0..63)
// and this one (64..127).
struct Backs {
  uint8_t index[3][64];
  constexpr Backs() : index() {
    for (int back = 1; back <= 3; ++back) {
      for (int lane = 0; lane < 64; ++lane)
        index[back - 1][lane] = static_cast<uint8_t>(64 + lane - back);
    }
  }
};
alignas(64) constexpr Backs kBacks{};

VY_AVX512_INLINE void loadPrevious(Window& w, const uint8_t* p, const Before& before) {
  if (before.from == Before::kWindow) {
    w.p1 = _mm512_permutex2var_epi8(before.v, _mm512_load_si512(kBacks.index[0]), w.v);
    w.p2 = _mm512_permutex2var_epi8(before.v, _mm512_load_si512(kBacks.index[1]), w.v);
    w.p3 = _mm512_permutex2var_epi8(before.v, _mm512_load_si512(kBacks.index[2]), w.v);
    return;
  }
  uint64_t carried = before.fresh() ? 0 : ~0ULL;
  w.p1 = loadShort(p - 1, (w.live << 1) | (carried & 1), w.count + 1);
  w.p2 = loadShort(p - 2, (w.live << 2) | (carried & 3), w.count + 2);
  w.p3 = loadShort(p - 3, (w.live << 3) | (carried & 7), w.count + 3);
}

// No character is cut at p (the bytes before it were validated).
VY_AVX512_INLINE bool endsComplete(const uint8_t* p) {
  return p[-1] < 0xC0 && p[-2] < 0xE0 && p[-3] < 0xF0;
}

// Where the character cut at p starts (the bytes before p were validated): its lead byte.
inline const uint8_t* cutStart(const uint8_t* p) {
  while (scalar::isContinuation(*--p)) {
  }
  return p;
}

// ---- validation ---------------------------------------------------------------------------------

// UTF-8 (or, kModified, the JVM's modified UTF-8) is checked a window at a time against the bytes
// one, two and three before each of its bytes. A character cut by the window's last byte is not
// an error here: the next window or, at the text's end, `endsComplete` decides.
template <bool kModified = false>
struct Validation {
  __m512i low, firstHigh, firstLow, secondHigh, third, fourth, top;
  VY_AVX512_INLINE Validation()
      : low(bytesOf(0x0F)),
        firstHigh(_mm512_broadcast_i32x4(Utf8Check<kModified>::firstHigh())),
        firstLow(_mm512_broadcast_i32x4(Utf8Check<kModified>::firstLow())),
        secondHigh(_mm512_broadcast_i32x4(Utf8Check<kModified>::secondHigh())),
        third(bytesOf(0xE0 - 0x80)),
        fourth(bytesOf(0xF0 - 0x80)),
        top(bytesOf(0x80)) {}
  // Made once before a loop over windows and kept in registers.
  VY_AVX512_INLINE void hold() {
    low = kept(low);
    firstHigh = kept(firstHigh);
    firstLow = kept(firstLow);
    secondHigh = kept(secondHigh);
    third = kept(third);
    if (!kModified) fourth = kept(fourth);
    top = kept(top);
  }
};

// The bytes of window v that are malformed given the bytes before them (p1, p2, p3; modified
// UTF-8 has no 4-byte sequences and reads no p3). The error classes of each byte and the one
// before set bit 7 where it must continue a 3- or 4-byte sequence; the lead two or three bytes
// back says where it must; one compare finds where the two disagree or any other class is set.
template <bool kModified>
VY_AVX512_INLINE uint64_t malformedAt(const Validation<kModified>& k, __m512i v, __m512i p1,
                                      __m512i p2, __m512i p3) {
  __m512i special = _mm512_ternarylogic_epi32(
      _mm512_shuffle_epi8(k.firstHigh, _mm512_and_si512(_mm512_srli_epi16(p1, 4), k.low)),
      _mm512_shuffle_epi8(k.firstLow, _mm512_and_si512(p1, k.low)),
      _mm512_shuffle_epi8(k.secondHigh, _mm512_and_si512(_mm512_srli_epi16(v, 4), k.low)), 0x80);
  __m512i third = _mm512_subs_epu8(p2, k.third);
  __m512i must;
  if (kModified) {
    must = _mm512_and_si512(third, k.top);
  } else {
    must = _mm512_ternarylogic_epi32(third, _mm512_subs_epu8(p3, k.fourth), k.top,
                                     0xA8);  // (a | b) & c
  }
  return _mm512_cmpneq_epi8_mask(must, special);
}

VY_AVX512_INLINE bool wellFormed(const Window& w, const Validation<>& k) {
  return malformedAt(k, w.v, w.p1, w.p2, w.p3) == 0;
}

// The window at p holds only ASCII and continues nothing.
VY_AVX512_INLINE bool plainAscii(const Window& w, const uint8_t* p, const Before& before) {
  return w.high == 0 && (before.fresh() || before.ascii || endsComplete(p));
}

// ---- UTF-8 to UTF-16 ----------------------------------------------------------------------------

// Interleaving indexes of vpermt2b: byte k of a half from the first vector, then from the second.
struct Interleave {
  uint8_t index[2][64];
  constexpr Interleave() : index() {
    for (int h = 0; h < 2; ++h) {
      for (int k = 0; k < 32; ++k) {
        index[h][2 * k] = static_cast<uint8_t>(32 * h + k);
        index[h][2 * k + 1] = static_cast<uint8_t>(64 + 32 * h + k);
      }
    }
  }
};
alignas(64) constexpr Interleave kInterleave{};

// Lane k of an interleaved half (bytes 0..31 or 32..63) holds the 16 bits of the character whose
// last byte is byte k, their low byte from `low`, their high byte from `high` (see decodeWindow;
// `toHigh`, `three`, `lowSurrogate` and `highTop` make surrogates).
struct DecodeConstants {
  __m512i continuationFrom, fourFrom, seven, nibble, toHigh, three, lowSurrogate, highTop;
  VY_AVX512_INLINE DecodeConstants()
      : continuationFrom(bytesOf(0xC0)),
        fourFrom(bytesOf(0xF0)),
        seven(bytesOf(0x7F)),
        nibble(bytesOf(0x0F)),
        toHigh(bytesOf(0x7C)),
        three(bytesOf(0x03)),
        lowSurrogate(bytesOf(0xDC)),
        highTop(wordsOf(0x000D)) {}
  // Made once before a loop over windows and kept in registers.
  VY_AVX512_INLINE void hold() {
    continuationFrom = kept(continuationFrom);
    fourFrom = kept(fourFrom);
    seven = kept(seven);
    nibble = kept(nibble);
    toHigh = kept(toHigh);
    three = kept(three);
    lowSurrogate = kept(lowSurrogate);
    highTop = kept(highTop);
  }
};

// One window of UTF-8 to UTF-16 at s + i: a whole one (kFull) that more text follows (kInner),
// or the text's last, whole or shorter.
template <bool kFull, bool kInner = false>
VY_AVX512_INLINE void decodeWindow(const uint8_t* s, size_t n, size_t& i, uint16_t*& o,
                                   Before& before, const DecodeConstants& k,
                                   const Validation<>& check, size_t* malformed) {
  Window w = kFull ? fullWindowAt(s, i) : windowAt(s, n, i);
  if (plainAscii(w, s + i, before)) {
    _mm512_storeu_si512(o, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(w.v)));
    _mm512_storeu_si512(o + 32, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(w.v, 1)));
    o += w.count;
    i += w.count;
    before.window(w.v, w.count, true);
    return;
  }
  if (__builtin_expect(before.fresh(), false) || !kFull) {
    loadPrevious(w, s + i, before);
  } else {
    // Loads cost no vector instructions, the permutes would.
    w.p1 = _mm512_loadu_si512(s + i - 1);
    w.p2 = _mm512_loadu_si512(s + i - 2);
    w.p3 = _mm512_loadu_si512(s + i - 3);
  }
  if (__builtin_expect(!wellFormed(w, check) || (!kInner && i + 64 == n && !endsComplete(s + n)),
                       false)) {
    // From the start of a character the previous window left unfinished: unwritten, but for
    // the high surrogate of a 4-byte one cut after its third byte.
    size_t from =
        before.fresh() || endsComplete(s + i) ? i : static_cast<size_t>(cutStart(s + i) - s);
    if (i - from == 3) --o;
    scalar::UnitsOut sink{o};
    i = scalar::decodeUtf8(s, n, from, i + w.count, sink, malformed);
    o = sink.p;
    before.nothing();
    return;
  }
  // The lanes that end a character: the byte after is no continuation byte (the window
  // validated that), or for the last lane, its character is whole (the next window has not
  // been validated yet); and the third bytes of 4-byte sequences (their high surrogate).
  uint64_t continuation = _mm512_cmplt_epi8_mask(w.v, k.continuationFrom);  // 80..BF, signed
  uint64_t lastOpen = (kInner || i + 64 < n) && !endsComplete(s + i + 64);
  uint64_t high4 = _mm512_cmpge_epu8_mask(w.p2, k.fourFrom);
  uint64_t low4 = _mm512_cmpge_epu8_mask(w.p3, k.fourFrom);
  uint64_t keep = (~((continuation >> 1) | (lastOpen << 63)) | high4) & w.live;
  uint64_t continuation1 = _mm512_cmplt_epi8_mask(w.p1, k.continuationFrom);
  // Each byte's character bits a | b << 6 | c << 12, from its own payload (a: 7 bits of ASCII,
  // 6 of a continuation byte), the byte before (b) when this one continues it, and the one
  // before that (c) when both do, computed as a low and a high byte: a lead's bits above its
  // payload are zero where they land (110x xxxx >> 2, 1111 0xxx << 4) or the byte ends nothing.
  __m512i b = _mm512_maskz_mov_epi8(continuation, w.p1);
  __m512i c = _mm512_maskz_mov_epi8(continuation & continuation1, w.p2);
  __m512i low = _mm512_ternarylogic_epi32(_mm512_and_si512(w.v, k.seven), _mm512_slli_epi16(b, 6),
                                          k.continuationFrom, 0xF8);
  __m512i b2 = _mm512_srli_epi16(b, 2);
  __m512i high = _mm512_ternarylogic_epi32(b2, _mm512_slli_epi16(c, 4), k.nibble, 0xE4);
  // Surrogates, without branches (windows with and without 4-byte sequences alternate too
  // unpredictably). The third byte of a 4-byte sequence holds the code point >> 6: 7C00 more
  // makes it 8000 + (code point - 10000) >> 6, which >> 4 with D000 over it is the high
  // surrogate. The fourth byte holds the code point's low 16 bits: its high byte becomes DC and
  // bits 8..9 of the code point (bits 2..3 of the third byte).
  high = _mm512_mask_add_epi8(high, high4, high, k.toHigh);
  high = _mm512_mask_mov_epi8(high, low4,
                              _mm512_ternarylogic_epi32(b2, k.three, k.lowSurrogate, 0xEA));
  __m512i lo = _mm512_permutex2var_epi8(low, _mm512_load_si512(kInterleave.index[0]), high);
  __m512i hi = _mm512_permutex2var_epi8(low, _mm512_load_si512(kInterleave.index[1]), high);
  lo = _mm512_mask_shrdi_epi16(lo, static_cast<uint32_t>(high4), lo, k.highTop, 4);
  hi = _mm512_mask_shrdi_epi16(hi, static_cast<uint32_t>(high4 >> 32), hi, k.highTop, 4);
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi16(static_cast<uint32_t>(keep), lo));
  o += _mm_popcnt_u32(static_cast<uint32_t>(keep));
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi16(static_cast<uint32_t>(keep >> 32), hi));
  o += _mm_popcnt_u32(static_cast<uint32_t>(keep >> 32));
  i += w.count;
  before.window(w.v, w.count);
}

VY_AVX512 size_t utf8ToUnits(const uint8_t* s, size_t n, uint16_t* out, size_t* malformed) {
  uint16_t* o = out;
  size_t i = 0;
  Before before;
  // A text that opens with ASCII (most do) is widened at once while it lasts.
  for (; n - i >= 64; i += 64, o += 64) {
    __m512i v = _mm512_loadu_si512(s + i);
    if (_mm512_movepi8_mask(v) != 0) break;
    _mm512_storeu_si512(o, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(v)));
    _mm512_storeu_si512(o + 32, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(v, 1)));
    before.window(v, 64, true);
  }
  if (i == n) return n;
  DecodeConstants k;
  Validation<> check;
  if (n - i > 64) {
    k.hold();
    check.hold();
    while (n - i > 64) decodeWindow<true, true>(s, n, i, o, before, k, check, malformed);
    if (n - i == 64) decodeWindow<true>(s, n, i, o, before, k, check, malformed);
  }
  while (i < n) decodeWindow<false>(s, n, i, o, before, k, check, malformed);
  return static_cast<size_t>(o - out);
}

// ---- the copying directions ---------------------------------------------------------------------

// UTF-8 to modified UTF-8 copies a window and writes its one 4-byte sequence, if it has one, over
// the copy; a window with several, or with one cut by its edge, is transcoded whole with vector
// instructions: each byte becomes one or two bytes computed from it and the byte before it, and a
// compress places them, so a sequence cut by a window's end is transcoded byte by byte across it.
//
// Modified UTF-8 to UTF-8 copies each window whole, then writes the few characters it transcodes
// (encoded surrogates) over the copy one by one, each followed by a copy of the rest of the
// window. Such a character may run past the window's end: the next window starts its copy after
// it (`pos`, the input position the output has reached). What it became may depend on bytes the
// next window has yet to prove well formed: when that window turns out malformed, the scalar code
// starts over from the first character concerned (`Redo`), taking back what was written of it.

// The 64 bytes from s + at, those from n on read as zeros.
VY_AVX512_INLINE __m512i bytesFrom(const uint8_t* s, size_t n, size_t at) {
  size_t left = n > at ? n - at : 0;
  return left >= 64 ? _mm512_loadu_si512(s + at) : _mm512_maskz_loadu_epi8(below(left), s + at);
}

// Up to 8 bytes from s + at (those from n on read as zeros), the first one highest: a plain load
// where 8 bytes are left, else a masked one, not a call (the loops around it keep their vectors
// in registers).
VY_AVX512_INLINE uint64_t bigEndianAt(const uint8_t* s, size_t n, size_t at) {
  if (n - at >= 8) {
    uint64_t b;
    std::memcpy(&b, s + at, 8);
    return __builtin_bswap64(b);
  }
  size_t left = n - at;
  __m128i x = _mm_maskz_loadu_epi8(static_cast<__mmask16>((1u << left) - 1), s + at);
  return __builtin_bswap64(static_cast<uint64_t>(_mm_cvtsi128_si64(x)));
}

// Where the scalar code starts over when a window is malformed: the first character a window
// before wrote from bytes at or past this window's start, the output it started at, and the
// first replacement noted before it.
struct Redo {
  size_t from = SIZE_MAX;
  uint8_t* out = nullptr;
  size_t malformed = 0;
  VY_AVX512_INLINE void note(size_t at, uint8_t* o, size_t noted) {
    if (from == SIZE_MAX) {
      from = at;
      out = o;
      malformed = noted;
    }
  }
};

// The bits of a surrogate pair's code point - 10000 in its six modified UTF-8 bytes read
// big-endian (ED [A0|a] [80|b] ED [B0|c] [80|d], 4+6+4+6 bits), and of a code point in the four
// bytes of its UTF-8 (3+6+6+6 bits).
constexpr uint64_t kPairBits = 0x000F3F000F3F0000ULL;
constexpr uint32_t kFourBits = 0x073F3F3F;
// The fixed bits of those six bytes (ED A0 80 ED B0 80), read big-endian.
constexpr uint64_t kPairMarks = 0xEDA080EDB080ULL;

// Writes the encoded surrogate at s + at (s[n] the terminator): with the low one after it, a
// high one becomes the pair's 4-byte sequence (4 bytes stored); any other "?". Returns the input
// bytes read.
VY_AVX512_INLINE size_t writePairOrLone(const uint8_t* s, size_t n, size_t at, uint8_t*& o,
                                        size_t* malformed) {
  uint64_t b = bigEndianAt(s, n + 1, at);
  if ((b & 0x00F000FFF0000000ULL) == 0x00A000EDB0000000ULL) {
    uint32_t cp = static_cast<uint32_t>(_pext_u64(b, kPairBits)) + 0x10000;
    uint32_t bytes = __builtin_bswap32(_pdep_u32(cp, kFourBits) | 0xF0808080u);
    std::memcpy(o, &bytes, 4);
    o += 4;
    return 6;
  }
  *o++ = '?';
  scalar::noteMalformed(malformed, at);
  return 3;
}

// The constants of UTF-8 to modified UTF-8's transcoding; the other direction needs none.
struct NoConstants {
  VY_AVX512_INLINE void hold() {}
};

struct SurrogateConstants {
  __m512i x3C, x3F, x9F, x80, x30, half0, half1;
  VY_AVX512_INLINE SurrogateConstants()
      : x3C(bytesOf(0x3C)),
        x3F(bytesOf(0x3F)),
        x9F(bytesOf(0x9F)),
        x80(bytesOf(0x80)),
        x30(bytesOf(0x30)),
        half0(_mm512_load_si512(kInterleave.index[0])),
        half1(_mm512_load_si512(kInterleave.index[1])) {}
  VY_AVX512_INLINE void hold() {
    x3C = kept(x3C);
    x3F = kept(x3F);
    x9F = kept(x9F);
    x80 = kept(x80);
    x30 = kept(x30);
    half0 = kept(half0);
    half1 = kept(half1);
  }
};

// The constants of a window. For a text of several windows they are set up once and held in
// registers (`kHeld`; the compiler would otherwise make them again in every window).
template <bool kModified, bool kHeld>
struct WindowConstants {
  Validation<kModified> check;
  __m512i f0, ed, back1, back2, back3;
  std::conditional_t<kModified, NoConstants, SurrogateConstants> to;
  VY_AVX512_INLINE WindowConstants()
      : f0(bytesOf(0xF0)),
        ed(bytesOf(0xED)),
        back1(_mm512_load_si512(kBacks.index[0])),
        back2(_mm512_load_si512(kBacks.index[1])),
        back3(_mm512_load_si512(kBacks.index[2])) {
    if (kHeld) {
      check.hold();
      f0 = kept(f0);
      back1 = kept(back1);
      back2 = kept(back2);
      if (kModified) ed = kept(ed);  // encoded surrogates
      if (!kModified) back3 = kept(back3);
      to.hold();
    }
  }
};

// The window v (its bytes from 0x80 and NULs in `odd`) holds no characters but ASCII and whole
// 2-byte ones: each of its leads C2..DF is followed by a continuation byte and each continuation
// byte follows one, and its last byte (of `count`) is no lead. Such a window is its own output in
// both directions and needs no further check (most text in the Latin scripts is like this).
// `*leads` is where its leads are.
VY_AVX512_INLINE bool twoByteOnly(__m512i v, uint64_t odd, size_t count, uint64_t* leads) {
  uint64_t lead = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, bytesOf(0xC2)), bytesOf(0xE0 - 0xC2));
  uint64_t continuation = _mm512_cmplt_epi8_mask(v, bytesOf(0xC0));  // 80..BF, signed
  *leads = lead;
  return (lead | continuation) == odd && lead << 1 == continuation && (lead >> (count - 1)) == 0;
}

// A short text (a field, mostly) that is its own output, copied in one masked window before any
// of the window machinery: ASCII (without NULs, which take two bytes in modified UTF-8) and whole
// 2-byte characters. False for any other text.
template <bool kModified>
VY_AVX512_INLINE bool shortCopy(const uint8_t* s, size_t n, uint8_t* out) {
  uint64_t live = below(n);
  __m512i v = loadShort(s, live, n);
  uint64_t odd = _mm512_movepi8_mask(v) | (kModified ? 0 : _mm512_testn_epi8_mask(v, v) & live);
  uint64_t leads;
  if (odd != 0 && !twoByteOnly(v, odd, n, &leads)) return false;
  _mm512_storeu_si512(out, v);
  return true;
}

// Writes one half of a window (bytes 0..31 or 32..63, `half` the interleaving indexes): each
// live byte's first output byte (from `first`), and its second (from `second`) where `two` says.
VY_AVX512_INLINE uint8_t* writeHalf(uint8_t* o, __m512i first, __m512i second, __m512i half,
                                    uint64_t live, uint64_t two) {
  __m512i both = _mm512_permutex2var_epi8(first, half, second);
  uint64_t keep = _pdep_u64(live, 0x5555555555555555ULL) | _pdep_u64(two, 0xAAAAAAAAAAAAAAAAULL);
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, both));
  return o + _mm_popcnt_u64(keep);
}

// UTF-8 to modified UTF-8 (kModified false), or modified UTF-8 to UTF-8 (true).
template <bool kModified, bool kHeld>
VY_AVX512_INLINE size_t copyWindows(const uint8_t* s, size_t n, uint8_t* out, size_t* malformed) {
  uint8_t* o = out;
  size_t i = 0, pos = 0;
  __m512i prev = _mm512_setzero_si512();  // the window before, or zeros where nothing was read
  uint64_t prevF0 = 0;                    // its leads of 4-byte sequences
  bool fresh = true;                      // nothing before i was read with the windows
  Redo redo;
  WindowConstants<kModified, kHeld> k;
  while (i < n) {
    size_t left = n - i;
    size_t count = left >= 64 ? 64 : left;
    uint64_t live = below(count);
    __m512i v = left >= 64 ? _mm512_loadu_si512(s + i) : _mm512_maskz_loadu_epi8(live, s + i);
    // A NUL takes two bytes in modified UTF-8, so the scalar code writes it.
    uint64_t nul = kModified ? 0 : _mm512_testn_epi8_mask(v, v) & live;
    uint64_t odd = _mm512_movepi8_mask(v) | nul;
    if (odd == 0 && pos == i && (fresh || endsComplete(s + i))) {
      _mm512_storeu_si512(o, v);
      o += count;
      i += count;
      pos = i;
      prev = v;
      prevF0 = 0;
      fresh = false;
      redo = Redo();
      continue;
    }
    // The bytes before each byte, from the previous window (zeros where nothing was read).
    __m512i p1 = _mm512_permutex2var_epi8(prev, k.back1, v);
    __m512i p2 = _mm512_permutex2var_epi8(prev, k.back2, v);
    __m512i p3 = kModified ? p2 : _mm512_permutex2var_epi8(prev, k.back3, v);
    uint64_t f0 = _mm512_cmpge_epu8_mask(v, k.f0);
    uint64_t bad = malformedAt(k.check, v, p1, p2, p3);
    bad |= kModified ? f0 : nul;  // modified UTF-8 holds no byte from F0
    if (bad != 0 || (left == 64 && i + 64 == n && !endsComplete(s + n))) {
      // From the first character written from this window's bytes, or else from the lead of the
      // character cut by its start, written in part: as many bytes as it has before the window,
      // but for a 4-byte sequence cut after its third byte, which wrote one more (the low
      // surrogate's ED) to modified UTF-8.
      size_t from = pos;
      if (redo.from != SIZE_MAX) {
        from = redo.from;
        o = redo.out;
        *malformed = redo.malformed;
      } else if (!fresh && pos == i && !endsComplete(s + i)) {
        from = static_cast<size_t>(cutStart(s + i) - s);
        o -= i - from;
        if (!kModified && i - from == 3) --o;
      }
      if (kModified) {
        scalar::Utf8Out sink{o};
        i = scalar::readModified(s, n, from, i + count, sink, malformed);
        o = sink.p;
      } else {
        scalar::ModifiedUtf8Out sink{o};
        i = scalar::decodeUtf8(s, n, from, i + count, sink, malformed);
        o = sink.p;
      }
      pos = i;
      prev = _mm512_setzero_si512();
      prevF0 = 0;
      fresh = true;
      redo = Redo();
      // Made again rather than kept across the call: kept, they would live on the stack and
      // every window would reload them from there.
      k = WindowConstants<kModified, kHeld>();
      continue;
    }
    redo = Redo();
    if constexpr (kModified) {
      // Encoded surrogates (ED A0..BF) not already written with the window before.
      _mm512_storeu_si512(o, pos == i ? v : bytesFrom(s, n, pos));
      uint64_t ed = _mm512_cmpeq_epi8_mask(v, k.ed) & live & ~below(pos - i);
      while (ed != 0) {
        size_t at = i + static_cast<size_t>(__builtin_ctzll(ed));
        ed &= ed - 1;
        if (s[at + 1] < 0xA0) continue;  // U+D000..U+D7FF
        o += at - pos;
        if (at > i + 58) redo.note(at, o, *malformed);  // its partner is looked for past the window
        pos = at + writePairOrLone(s, n, at, o, malformed);
        _mm512_storeu_si512(o, bytesFrom(s, n, pos));
        ed &= ~below(pos - i);  // the low half of a pair
      }
    } else {
      // The bytes of 4-byte sequences by their place in it (f0: leads), this window's and those
      // the window before left unfinished. b0 b1 b2 b3 become the surrogates
      // ED [A0 | plane - 1] [80 | (b1 & F) << 2 | b2 >> 4 & 3] ED [B0 | b2 & F] b3, plane =
      // (b0 & 7) << 2 | b1 >> 4 & 3: one byte each from b0, b1 and b3 (with two more) and two
      // from b2 (the second an ED), each from the byte itself and the one before it.
      uint64_t second = (f0 << 1) | (prevF0 >> 63);
      uint64_t third = (f0 << 2) | (prevF0 >> 62);
      uint64_t fourth = (f0 << 3) | (prevF0 >> 61);
      if ((f0 | fourth) == 0) {
        _mm512_storeu_si512(o, v);
        o += count;
      } else if (((f0 & (f0 - 1)) | (f0 >> 61) | (prevF0 >> 61)) == 0) {
        // One 4-byte sequence, whole in the window (so are most): the window is copied, the
        // sequence's six bytes written over the copy from its place on, and the rest of the
        // window copied again after them. Fewer instructions than the transcode below, which
        // takes the windows with several sequences or one cut by a window's edge.
        size_t j = static_cast<size_t>(__builtin_ctzll(f0));
        _mm512_storeu_si512(o, v);
        uint32_t four;
        std::memcpy(&four, s + i + j, 4);
        uint32_t bits = _pext_u32(__builtin_bswap32(four), kFourBits) - 0x10000;
        uint64_t six = __builtin_bswap64(_pdep_u64(bits, kPairBits >> 16) | kPairMarks) >> 16;
        std::memcpy(o + j, &six, 8);
        _mm512_mask_storeu_epi8(o + 2, live & ~below(j + 4), v);
        o += count + 2;
      } else {
        // (p1 & F) << 2 | v >> 4 & 3: plane at b1, the bits of b2's surrogate byte at b2.
        __m512i bits = _mm512_and_si512(
            _mm512_ternarylogic_epi32(k.to.x3C, _mm512_slli_epi16(p1, 2), _mm512_srli_epi16(v, 4),
                                      0xCA),  // a ? b : c
            k.to.x3F);
        __m512i a = _mm512_mask_add_epi8(v, second, bits, k.to.x9F);
        a = _mm512_mask_add_epi8(a, third, bits, k.to.x80);
        a = _mm512_mask_mov_epi8(a, f0, k.ed);
        a = _mm512_mask_mov_epi8(a, fourth, _mm512_or_si512(p1, k.to.x30));  // B0 | b2 & F
        __m512i b = _mm512_mask_mov_epi8(v, third, k.ed);
        uint64_t two = third | fourth;
        o = writeHalf(o, a, b, k.to.half0, live & 0xFFFFFFFF, two & 0xFFFFFFFF);
        if (count > 32) o = writeHalf(o, a, b, k.to.half1, live >> 32, two >> 32);
      }
      pos = i + count;
    }
    i += count;
    if (pos < i) {
      o += i - pos;
      pos = i;
    }
    prev = v;
    prevF0 = f0;
    fresh = false;
  }
  return static_cast<size_t>(o - out);
}

// ---- modified UTF-8 to UTF-8 --------------------------------------------------------------------

// A well-formed window is its own UTF-8 but for its encoded surrogates (ED A0..BF xx): a high one
// followed by a low one becomes one 4-byte sequence, any other becomes "?".
VY_AVX512 size_t modifiedToUtf8Bytes(const uint8_t* s, size_t n, uint8_t* out, size_t* malformed) {
  if (n > 64) return copyWindows<true, true>(s, n, out, malformed);
  return shortCopy<true>(s, n, out) ? n : copyWindows<true, false>(s, n, out, malformed);
}

// ---- UTF-8 to modified UTF-8 --------------------------------------------------------------------

// A well-formed window without NULs is its own modified UTF-8 but for its 4-byte sequences, each
// written as two 3-byte surrogates.
VY_AVX512 size_t utf8ToModifiedBytes(const uint8_t* s, size_t n, uint8_t* out, size_t* malformed) {
  if (n > 64) return copyWindows<false, true>(s, n, out, malformed);
  return shortCopy<false>(s, n, out) ? n : copyWindows<false, false>(s, n, out, malformed);
}

// ---- ISO-8859-1 and US-ASCII -------------------------------------------------------------------

// Bytes widened 64 at a time; in US-ASCII a byte above 0x7F is U+FFFD.
VY_AVX512 void eightBitToUnits(bool ascii, const uint8_t* s, size_t n, uint16_t* out,
                               size_t* malformed) {
  const __m512i replacement = wordsOf(scalar::kReplacement);
  for (size_t i = 0; i < n; i += 64) {
    size_t left = n - i;
    __m512i v =
        left >= 64 ? _mm512_loadu_si512(s + i) : _mm512_maskz_loadu_epi8(below(left), s + i);
    __m512i lo = _mm512_cvtepu8_epi16(_mm512_castsi512_si256(v));
    __m512i hi = _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(v, 1));
    uint64_t high = ascii ? _mm512_movepi8_mask(v) : 0;
    if (high != 0) {
      scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctzll(high)));
      lo = _mm512_mask_mov_epi16(lo, static_cast<uint32_t>(high), replacement);
      hi = _mm512_mask_mov_epi16(hi, static_cast<uint32_t>(high >> 32), replacement);
    }
    _mm512_storeu_si512(out + i, lo);
    _mm512_storeu_si512(out + i + 32, hi);
  }
}

// Units narrowed 32 at a time: each one the charset cannot hold becomes "?", a surrogate pair
// one "?" (written at its high half; a pair across two blocks is carried into the second).
VY_AVX512 size_t unitsToEightBit(const uint16_t* u, size_t n, uint16_t limit, uint8_t* out,
                                 size_t* malformed) {
  const __m512i top = wordsOf(static_cast<uint16_t>(limit - 1));
  uint8_t* o = out;
  uint32_t low = 0;
  for (size_t i = 0; i < n; i += 32) {
    size_t left = n - i;
    uint32_t live = left >= 32 ? ~0u : (1u << left) - 1;
    __m512i a = left >= 32 ? _mm512_loadu_si512(u + i) : _mm512_maskz_loadu_epi16(live, u + i);
    uint32_t lost = _mm512_cmpgt_epu16_mask(a, top) & live;
    if ((lost | low) == 0) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm512_cvtepi16_epi8(a));
      o += left >= 32 ? 32 : left;
      continue;
    }
    __m512i next =
        left > 32 ? _mm512_loadu_si512(u + i + 1) : _mm512_maskz_loadu_epi16(live >> 1, u + i + 1);
    uint32_t high = _mm512_cmpeq_epi16_mask(_mm512_and_si512(a, wordsOf(0xFC00)), wordsOf(0xD800));
    uint32_t nextLow =
        _mm512_cmpeq_epi16_mask(_mm512_and_si512(next, wordsOf(0xFC00)), wordsOf(0xDC00));
    uint32_t pair = high & nextLow & live;
    uint32_t keep = live & ~(low | (pair << 1));
    if ((lost & keep) != 0) {
      scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctz(lost & keep)));
    }
    __m512i r = _mm512_maskz_compress_epi16(keep, _mm512_mask_mov_epi16(a, lost, wordsOf('?')));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm512_cvtepi16_epi8(r));
    o += _mm_popcnt_u32(keep);
    low = pair >> 31;
  }
  return static_cast<size_t>(o - out);
}

}  // namespace

// A short text (a field, mostly) of ASCII and whole 2-byte characters (see twoByteOnly) in one
// masked window, before any of the window machinery: ASCII is widened, and a 2-byte character
// written at its continuation byte from that byte and its lead. Returns the units written, or
// SIZE_MAX for any other text.
VY_AVX512 size_t shortToUnits(const uint8_t* s, size_t n, uint16_t* out) {
  __m512i v = loadShort(s, below(n), n);
  uint64_t high = _mm512_movepi8_mask(v);
  if (high == 0) {
    _mm512_storeu_si512(out, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(v)));
    if (n > 32) {
      _mm512_storeu_si512(out + 32, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(v, 1)));
    }
    return n;
  }
  uint64_t leads;
  if (!twoByteOnly(v, high, n, &leads)) return SIZE_MAX;
  __m512i lead = _mm512_maskz_permutex2var_epi8(leads << 1, _mm512_setzero_si512(),
                                                _mm512_load_si512(kBacks.index[0]), v);
  // Low byte: 6 bits of the continuation byte, 2 of the lead; high byte: 3 more of the lead.
  __m512i low = _mm512_ternarylogic_epi32(_mm512_and_si512(v, bytesOf(0x7F)),
                                          _mm512_slli_epi16(lead, 6), bytesOf(0xC0), 0xF8);
  __m512i top = _mm512_and_si512(_mm512_srli_epi16(lead, 2), bytesOf(0x07));
  uint64_t keep = ~leads & below(n);
  __m512i first = _mm512_permutex2var_epi8(low, _mm512_load_si512(kInterleave.index[0]), top);
  _mm512_storeu_si512(out, _mm512_maskz_compress_epi16(static_cast<uint32_t>(keep), first));
  size_t written = static_cast<size_t>(_mm_popcnt_u32(static_cast<uint32_t>(keep)));
  if (n > 32) {
    __m512i second = _mm512_permutex2var_epi8(low, _mm512_load_si512(kInterleave.index[1]), top);
    _mm512_storeu_si512(out + written,
                        _mm512_maskz_compress_epi16(static_cast<uint32_t>(keep >> 32), second));
    written += static_cast<size_t>(_mm_popcnt_u32(static_cast<uint32_t>(keep >> 32)));
  }
  return written;
}

Converted utf8ToUtf16(const uint8_t* s, size_t n, uint16_t* out) {
  if (n <= 64) {
    size_t written = shortToUnits(s, n, out);
    if (written != SIZE_MAX) return {written, n};
  }
  size_t malformed = n;
  size_t written = utf8ToUnits(s, n, out, &malformed);
  return {written, malformed};
}

Converted utf8ToModified(const uint8_t* s, size_t n, uint8_t* out) {
  size_t malformed = n;
  size_t written = utf8ToModifiedBytes(s, n, out, &malformed);
  return {written, malformed};
}

Converted modifiedToUtf8(const uint8_t* s, size_t n, uint8_t* out) {
  size_t malformed = n;
  size_t written = modifiedToUtf8Bytes(s, n, out, &malformed);
  return {written, malformed};
}

Converted eightBitToUtf16(bool ascii, const uint8_t* s, size_t n, uint16_t* out) {
  size_t malformed = n;
  eightBitToUnits(ascii, s, n, out, &malformed);
  return {n, malformed};
}

Converted utf16ToEightBit(const uint16_t* u, size_t n, uint16_t limit, uint8_t* out) {
  size_t malformed = n;
  size_t written = unitsToEightBit(u, n, limit, out, &malformed);
  return {written, malformed};
}

VY_AVX512 size_t utf8Extra(const uint16_t* u, size_t n) {
  size_t extra = 0;
  for (size_t i = 0; i < n; i += 32) {
    __mmask32 live = n - i >= 32 ? ~0u : (1u << (n - i)) - 1;
    __m512i v = _mm512_maskz_loadu_epi16(live, u + i);
    extra += static_cast<size_t>(_mm_popcnt_u32(_mm512_cmpge_epu16_mask(v, wordsOf(0x80)))) +
             static_cast<size_t>(_mm_popcnt_u32(_mm512_cmpge_epu16_mask(v, wordsOf(0x800))));
  }
  return extra;
}

// Whole aligned blocks of 64 bytes, so that no load crosses into a page the text does not reach;
// the bytes before the text in its first block and after its terminator in its last are read but
// not used (hence no address checks here).
__attribute__((no_sanitize("address"))) VY_AVX512 size_t measure(const char* s, size_t* high) {
  auto at = reinterpret_cast<uintptr_t>(s);
  auto block = reinterpret_cast<const __m512i*>(at & ~uintptr_t{63});
  uint64_t skip = at & 63;
  __m512i v = _mm512_load_si512(block);
  uint64_t nul = _mm512_testn_epi8_mask(v, v) >> skip;
  uint64_t above = _mm512_movepi8_mask(v) >> skip;
  size_t n = 0, count = 0;
  for (;;) {
    if (nul != 0) {
      size_t end = static_cast<size_t>(__builtin_ctzll(nul));
      *high = count + static_cast<size_t>(_mm_popcnt_u64(above & below(end)));
      return n + end;
    }
    count += static_cast<size_t>(_mm_popcnt_u64(above));
    n += 64 - skip;
    skip = 0;
    v = _mm512_load_si512(++block);
    nul = _mm512_testn_epi8_mask(v, v);
    above = _mm512_movepi8_mask(v);
  }
}

VY_AVX512 size_t countHigh(const uint8_t* s, size_t n, bool withNul) {
  size_t count = 0;
  for (size_t i = 0; i < n; i += 64) {
    uint64_t live = n - i >= 64 ? ~0ULL : (1ULL << (n - i)) - 1;
    __m512i v = _mm512_maskz_loadu_epi8(live, s + i);
    uint64_t hit = _mm512_movepi8_mask(v);
    if (withNul) hit |= _mm512_testn_epi8_mask(v, v) & live;
    count += static_cast<size_t>(_mm_popcnt_u64(hit));
  }
  return count;
}

}  // namespace vy::codec::x86::avx512

#endif  // VY_CODEC_X86
