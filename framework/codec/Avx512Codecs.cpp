// The AVX-512 level (BW, VL, VBMI, VBMI2): whole conversions, short texts included. Texts are
// read in 64-byte windows with masked loads, so neither a short text nor the tail of a long one
// is copied or padded, and transcoded without a per-character loop, surrogate pairs and 4-byte
// sequences included; a window holding malformed input goes to the exact scalar code.
//
// Windows follow each other at a fixed stride, so that the next window's address never waits on
// this one's contents: validation carries the bytes before a window over from the one before, and
// a character cut by a window's end is finished by the next window. The copying directions copy
// its pieces; the decoder computes each character at the position of its last byte, from the
// bytes before it. Only rare events (a surrogate or 4-byte sequence in a window's last bytes, a
// window with malformed input) move the next window.
#include "Avx512Codecs.hpp"

#include "ScalarCodec.hpp"

#if VY_CODEC_X86

#define VY_AVX512 \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2")))
#define VY_AVX512_INLINE                                                                     \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2"), \
                 always_inline)) inline

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

VY_AVX512_INLINE Window windowAt(const uint8_t* s, size_t n, size_t i) {
  size_t left = n - i;
  Window w;
  w.count = left >= 64 ? 64 : left;
  w.live = below(w.count);
  w.v = left >= 64 ? _mm512_loadu_si512(s + i) : _mm512_maskz_loadu_epi8(w.live, s + i);
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

// vpermb indexes: the byte after each one (the last lane's is masked off).
struct NextBytes {
  uint8_t index[64];
  constexpr NextBytes() : index() {
    for (int lane = 0; lane < 64; ++lane)
      index[lane] = static_cast<uint8_t>(lane < 63 ? lane + 1 : 0);
  }
};
alignas(64) constexpr NextBytes kNext{};

VY_AVX512_INLINE void loadPrevious(Window& w, const uint8_t* p, const Before& before) {
  if (before.from == Before::kWindow) {
    w.p1 = _mm512_permutex2var_epi8(before.v, _mm512_load_si512(kBacks.index[0]), w.v);
    w.p2 = _mm512_permutex2var_epi8(before.v, _mm512_load_si512(kBacks.index[1]), w.v);
    w.p3 = _mm512_permutex2var_epi8(before.v, _mm512_load_si512(kBacks.index[2]), w.v);
    return;
  }
  uint64_t carried = before.fresh() ? 0 : ~0ULL;
  w.p1 = _mm512_maskz_loadu_epi8((w.live << 1) | (carried & 1), p - 1);
  w.p2 = _mm512_maskz_loadu_epi8((w.live << 2) | (carried & 3), p - 2);
  w.p3 = _mm512_maskz_loadu_epi8((w.live << 3) | (carried & 7), p - 3);
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

// True when the window is well formed given the bytes before it: standard UTF-8, or modified
// UTF-8 as the JVM writes it. A character cut by the window's last byte is not an error here:
// the next window or, at the text's end, `endsComplete` decides.
template <bool kModified>
VY_AVX512_INLINE bool wellFormed(const Window& w) {
  const __m512i low = _mm512_set1_epi8(0x0F);
  __m512i firstHigh = _mm512_broadcast_i32x4(Utf8Check<kModified>::firstHigh());
  __m512i firstLow = _mm512_broadcast_i32x4(Utf8Check<kModified>::firstLow());
  __m512i secondHigh = _mm512_broadcast_i32x4(Utf8Check<kModified>::secondHigh());
  __m512i special = _mm512_ternarylogic_epi32(
      _mm512_shuffle_epi8(firstHigh, _mm512_and_si512(_mm512_srli_epi16(w.p1, 4), low)),
      _mm512_shuffle_epi8(firstLow, _mm512_and_si512(w.p1, low)),
      _mm512_shuffle_epi8(secondHigh, _mm512_and_si512(_mm512_srli_epi16(w.v, 4), low)), 0x80);
  __m512i third = _mm512_subs_epu8(w.p2, bytesOf(0xE0 - 0x80));
  __m512i fourth = _mm512_subs_epu8(w.p3, bytesOf(0xF0 - 0x80));
  __m512i must23 = _mm512_and_si512(_mm512_or_si512(third, fourth), bytesOf(0x80));
  __m512i error = _mm512_xor_si512(must23, special);
  if (kModified) error = _mm512_or_si512(error, _mm512_subs_epu8(w.v, bytesOf(0xEF)));  // F0..FF
  return _mm512_test_epi8_mask(error, error) == 0;
}

// The window at p holds only ASCII and continues nothing.
VY_AVX512_INLINE bool plainAscii(const Window& w, const uint8_t* p, const Before& before) {
  return w.high == 0 && (before.fresh() || before.ascii || endsComplete(p));
}

// ---- UTF-8 to UTF-16 ----------------------------------------------------------------------------

// The payload bits of a byte by its high nibble: 7 for ASCII, 6 for a continuation byte, 5, 4
// or 3 for the lead of a 2-, 3- or 4-byte sequence.
VY_AVX512_INLINE __m512i payload(__m512i x) {
  const __m512i masks =
      _mm512_broadcast_i32x4(_mm_setr_epi8(0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x3F,
                                           0x3F, 0x3F, 0x3F, 0x1F, 0x1F, 0x0F, 0x07));
  return _mm512_and_si512(
      x, _mm512_shuffle_epi8(masks, _mm512_and_si512(_mm512_srli_epi16(x, 4), bytesOf(0x0F))));
}

// Lane k of one half (bytes 0..31 or 32..63) holds the character whose last byte is byte k:
// a | b << 6 | c << 12 from the payloads of the byte, the one before (when this one continues
// it) and the one before that (when both continue it), or a surrogate where `high` (the third
// byte of a 4-byte sequence, where that sum is the code point >> 6) or `low` (the fourth, whose
// sum ends in the code point's low 10 bits) says so.
VY_AVX512_INLINE __m512i unitsOf(__m256i a8, __m256i b8, __m256i c8, uint32_t high, uint32_t low) {
  __m512i a = _mm512_cvtepu8_epi16(a8), b = _mm512_cvtepu8_epi16(b8), c = _mm512_cvtepu8_epi16(c8);
  __m512i r = _mm512_ternarylogic_epi32(a, _mm512_slli_epi16(b, 6), _mm512_slli_epi16(c, 12), 0xFE);
  // D800 + (code point >> 10) - 40, and DC00 | (code point & 3FF).
  r = _mm512_mask_add_epi16(r, high, _mm512_srli_epi16(r, 4), wordsOf(0xD7C0));
  return _mm512_mask_mov_epi16(r, low,
                               _mm512_ternarylogic_epi32(r, wordsOf(0x3FF), wordsOf(0xDC00), 0xEA));
}

VY_AVX512 size_t utf8ToUnits(const uint8_t* s, size_t n, uint16_t* out, size_t* malformed) {
  uint16_t* o = out;
  size_t i = 0;
  Before before;
  while (i < n) {
    Window w = windowAt(s, n, i);
    if (plainAscii(w, s + i, before)) {
      _mm512_storeu_si512(o, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(w.v)));
      _mm512_storeu_si512(o + 32, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(w.v, 1)));
      o += w.count;
      i += w.count;
      before.window(w.v, w.count, true);
      continue;
    }
    loadPrevious(w, s + i, before);
    if (!wellFormed<false>(w) || (i + 64 == n && !endsComplete(s + n))) {
      // From the start of a character the previous window left unfinished: unwritten, but for
      // the high surrogate of a 4-byte one cut after its third byte.
      size_t from =
          before.fresh() || endsComplete(s + i) ? i : static_cast<size_t>(cutStart(s + i) - s);
      if (i - from == 3) --o;
      scalar::UnitsOut sink{o};
      i = scalar::decodeUtf8(s, n, from, i + w.count, sink, malformed);
      o = sink.p;
      before.nothing();
      continue;
    }
    // The lanes that end a character: the byte after is no continuation byte (the window
    // validated that), or for the last lane, its character is whole (the next window has not
    // been validated yet); and the third bytes of 4-byte sequences (their high surrogate).
    uint64_t continuation = _mm512_cmplt_epi8_mask(w.v, bytesOf(0xC0));  // 80..BF, signed
    uint64_t lastOpen = i + 64 < n && !endsComplete(s + i + 64);
    uint64_t high4 = atLeast(w.p2, 0xF0), low4 = atLeast(w.p3, 0xF0);
    uint64_t keep = (~((continuation >> 1) | (lastOpen << 63)) | high4) & w.live;
    uint64_t continuation1 = _mm512_cmplt_epi8_mask(w.p1, bytesOf(0xC0));
    __m512i a = payload(w.v);
    __m512i b = _mm512_maskz_mov_epi8(continuation, payload(w.p1));
    __m512i c = _mm512_maskz_mov_epi8(continuation & continuation1, payload(w.p2));
    __m512i lo =
        unitsOf(_mm512_castsi512_si256(a), _mm512_castsi512_si256(b), _mm512_castsi512_si256(c),
                static_cast<uint32_t>(high4), static_cast<uint32_t>(low4));
    __m512i hi = unitsOf(_mm512_extracti64x4_epi64(a, 1), _mm512_extracti64x4_epi64(b, 1),
                         _mm512_extracti64x4_epi64(c, 1), static_cast<uint32_t>(high4 >> 32),
                         static_cast<uint32_t>(low4 >> 32));
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi16(static_cast<uint32_t>(keep), lo));
    o += _mm_popcnt_u32(static_cast<uint32_t>(keep));
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi16(static_cast<uint32_t>(keep >> 32), hi));
    o += _mm_popcnt_u32(static_cast<uint32_t>(keep >> 32));
    i += w.count;
    before.window(w.v, w.count);
  }
  return static_cast<size_t>(o - out);
}

// ---- the copying directions ---------------------------------------------------------------------

// UTF-8 to modified UTF-8 and back copy what they do not transcode, so a character cut by a
// window's end is copied in two pieces. On malformed input the scalar code starts over from the
// lead of such a character, taking back the piece already copied.
template <typename Sink, typename Scalar>
VY_AVX512_INLINE size_t fallBack(const uint8_t* s, size_t i, size_t count, bool fresh, uint8_t*& o,
                                 Scalar scalarFrom) {
  size_t from = i;
  if (!fresh && !endsComplete(s + i)) {
    from = static_cast<size_t>(cutStart(s + i) - s);
    o -= i - from;
  }
  Sink sink{o};
  size_t next = scalarFrom(from, i + count, sink);
  o = sink.p;
  return next;
}

// ---- modified UTF-8 to UTF-8 --------------------------------------------------------------------

// A well-formed window is its own UTF-8 but for its encoded surrogates (ED A0..BF xx): a high one
// followed by a low one becomes one 4-byte sequence written over the last four of their six
// bytes, any other becomes "?". A surrogate pair never spans two windows.
VY_AVX512 size_t modifiedToUtf8Bytes(const uint8_t* s, size_t n, uint8_t* out, size_t* malformed) {
  uint8_t* o = out;
  size_t i = 0;
  Before before;
  auto scalarFrom = [&](size_t from, size_t stop, scalar::Utf8Out& sink) {
    return scalar::readModified(s, n, from, stop, sink, malformed);
  };
  while (i < n) {
    Window w = windowAt(s, n, i);
    if (plainAscii(w, s + i, before)) {
      _mm512_storeu_si512(o, w.v);
      o += w.count;
      i += w.count;
      before.window(w.v, w.count, true);
      continue;
    }
    loadPrevious(w, s + i, before);
    if (!wellFormed<true>(w) || (i + 64 == n && !endsComplete(s + n))) {
      i = fallBack<scalar::Utf8Out>(s, i, w.count, before.fresh(), o, scalarFrom);
      before.nothing();
      continue;
    }
    uint64_t ed = _mm512_cmpeq_epi8_mask(w.v, bytesOf(0xED));
    uint64_t a0 = atLeast(w.v, 0xA0) >> 1, b0 = atLeast(w.v, 0xB0) >> 1;
    uint64_t high = ed & a0 & ~b0;
    size_t end = w.count;
    if (i + 64 < n) {
      // A high surrogate whose partner would not fit, or a surrogate the window cuts (ED as
      // late as that may not even show which it is), starts the next window.
      uint64_t late = (high & ~below(59)) | (ed & ~below(62));
      if (late != 0) end = static_cast<size_t>(__builtin_ctzll(late));
    }
    uint64_t within = below(end);
    uint64_t surrogate = ed & a0 & within;
    uint64_t low = surrogate & b0;
    uint64_t pair = high & (low >> 3) & within;
    uint64_t lone = surrogate & ~pair & ~(pair << 3);
    __m512i r = w.v;
    if ((pair | lone) != 0) {
      // ED [A0|w] [80|x] ED [B0|y] [80|z], plane = w + 1: F0|plane>>2, 80|(plane&3)<<4|x>>2,
      // 80|(x&3)<<4|y, 80|z (the last byte as it is).
      const __m512i nibble = bytesOf(0x0F);
      __m512i plane1 = _mm512_add_epi8(_mm512_and_si512(w.p1, nibble), bytesOf(1));
      __m512i plane2 = _mm512_add_epi8(_mm512_and_si512(w.p2, nibble), bytesOf(1));
      __m512i first = _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi16(plane1, 2), bytesOf(0x07)),
                                      bytesOf(0xF0));
      __m512i second = _mm512_ternarylogic_epi32(
          _mm512_and_si512(_mm512_slli_epi16(plane2, 4), bytesOf(0x30)),
          _mm512_and_si512(_mm512_srli_epi16(w.p1, 2), nibble), bytesOf(0x80), 0xFE);
      __m512i third =
          _mm512_ternarylogic_epi32(_mm512_and_si512(_mm512_slli_epi16(w.p2, 4), bytesOf(0x30)),
                                    _mm512_and_si512(w.v, nibble), bytesOf(0x80), 0xFE);
      r = _mm512_mask_blend_epi8(pair << 2, r, first);
      r = _mm512_mask_blend_epi8(pair << 3, r, second);
      r = _mm512_mask_blend_epi8(pair << 4, r, third);
      r = _mm512_mask_blend_epi8(lone, r, bytesOf('?'));
      if (lone != 0)
        scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctzll(lone)));
    }
    uint64_t keep = within & ~(pair | (pair << 1) | (lone << 1) | (lone << 2));
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, r));
    o += _mm_popcnt_u64(keep);
    i += end;
    before.window(w.v, end);
  }
  return static_cast<size_t>(o - out);
}

// ---- UTF-16 to UTF-8 ------------------------------------------------------------------------

// Sixteen units (a), the units after each (next), as UTF-8, each in a 32-bit lane: a high
// surrogate followed by a low one gives the pair's 4 bytes and the low one nothing, any other
// surrogate "?". `live`: the lanes to convert; `low`: lane 0 is the low half of a pair begun in
// the previous block (bit 0). Returns the bytes written; sets *pairEnds when lane 15 begins a
// pair and *lone to the lanes that became "?".
VY_AVX512_INLINE uint8_t* encodeBlock(__m256i a, __m256i next, uint32_t live, uint32_t low,
                                      uint32_t* pairEnds, uint32_t* lone, uint8_t* o) {
  const __m512i six = _mm512_set1_epi32(0x3F);
  uint32_t from80 = _mm256_cmpge_epu16_mask(a, _mm256_set1_epi16(0x80));
  uint32_t from800 = _mm256_cmpge_epu16_mask(a, _mm256_set1_epi16(0x800));
  uint32_t surrogate =
      _mm256_cmpeq_epi16_mask(_mm256_and_si256(a, _mm256_set1_epi16(static_cast<short>(0xF800))),
                              _mm256_set1_epi16(static_cast<short>(0xD800)));
  __m512i c = _mm512_cvtepu16_epi32(a);
  __m512i two = _mm512_ternarylogic_epi32(_mm512_srli_epi32(c, 6),
                                          _mm512_slli_epi32(_mm512_and_si512(c, six), 8),
                                          _mm512_set1_epi32(0x80C0), 0xFE);
  __m512i three = _mm512_ternarylogic_epi32(
      _mm512_srli_epi32(c, 12),
      _mm512_slli_epi32(_mm512_and_si512(_mm512_srli_epi32(c, 6), six), 8),
      _mm512_slli_epi32(_mm512_and_si512(c, six), 16), 0xFE);
  three = _mm512_or_si512(three, _mm512_set1_epi32(0x8080E0));
  __m512i r = _mm512_mask_blend_epi32(static_cast<__mmask16>(from80), c, two);
  r = _mm512_mask_blend_epi32(static_cast<__mmask16>(from800), r, three);
  uint32_t pair = 0;
  *lone = 0;
  if (surrogate != 0) {
    const __m256i top6 = _mm256_set1_epi16(static_cast<short>(0xFC00));
    uint32_t high = _mm256_cmpeq_epi16_mask(_mm256_and_si256(a, top6),
                                            _mm256_set1_epi16(static_cast<short>(0xD800)));
    uint32_t nextLow = _mm256_cmpeq_epi16_mask(_mm256_and_si256(next, top6),
                                               _mm256_set1_epi16(static_cast<short>(0xDC00)));
    pair = high & nextLow & live;
    low |= (pair << 1) & 0xFFFF;
    *lone = surrogate & ~pair & ~low & live;
    // (high << 10) + low - (D800 << 10) - DC00 + 10000
    __m512i cp =
        _mm512_add_epi32(_mm512_add_epi32(_mm512_slli_epi32(c, 10), _mm512_cvtepu16_epi32(next)),
                         _mm512_set1_epi32(-0x35FDC00));
    __m512i four = _mm512_ternarylogic_epi32(
        _mm512_srli_epi32(cp, 18),
        _mm512_slli_epi32(_mm512_and_si512(_mm512_srli_epi32(cp, 12), six), 8),
        _mm512_slli_epi32(_mm512_and_si512(_mm512_srli_epi32(cp, 6), six), 16), 0xFE);
    four = _mm512_ternarylogic_epi32(four, _mm512_slli_epi32(_mm512_and_si512(cp, six), 24),
                                     _mm512_set1_epi32(static_cast<int>(0x808080F0)), 0xFE);
    r = _mm512_mask_blend_epi32(static_cast<__mmask16>(pair), r, four);
    r = _mm512_mask_blend_epi32(static_cast<__mmask16>(*lone), r, _mm512_set1_epi32('?'));
    from80 &= ~surrogate;
    from800 &= ~surrogate;
  }
  *pairEnds = pair >> 15;
  // Byte k of lane j is kept when the lane's sequence is longer than k.
  uint64_t bytes = _pdep_u64(live & ~low, 0x1111111111111111ULL) |
                   _pdep_u64(from80 | pair, 0x2222222222222222ULL) |
                   _pdep_u64(from800 | pair, 0x4444444444444444ULL) |
                   _pdep_u64(pair, 0x8888888888888888ULL);
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(bytes, r));
  return o + _mm_popcnt_u64(bytes);
}

// Blocks of 16 units at a fixed stride (a pair across two blocks is written by the first, and
// the second skips its low half), 32 at a time while they are ASCII.
VY_AVX512 size_t utf16ToBytes(const uint16_t* u, size_t n, uint8_t* out, size_t* malformed) {
  uint8_t* o = out;
  size_t i = 0;
  uint32_t low = 0, lone = 0;
  while (i + 16 < n) {
    if (i + 32 <= n) {
      __m512i all = _mm512_loadu_si512(u + i);
      if (_mm512_test_epi16_mask(all, wordsOf(0xFF80)) == 0) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm512_cvtepi16_epi8(all));
        o += 32;
        i += 32;
        continue;
      }
    }
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(u + i));
    __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(u + i + 1));
    o = encodeBlock(a, next, 0xFFFF, low, &low, &lone, o);
    if (lone != 0) scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctz(lone)));
    i += 16;
  }
  if (i < n) {
    uint32_t left = static_cast<uint32_t>(n - i);  // 1 to 16
    __m256i a = _mm256_maskz_loadu_epi16(static_cast<__mmask16>((1u << left) - 1), u + i);
    __m256i next =
        _mm256_maskz_loadu_epi16(static_cast<__mmask16>((1u << (left - 1)) - 1), u + i + 1);
    o = encodeBlock(a, next, (1u << left) - 1, low, &low, &lone, o);
    if (lone != 0) scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctz(lone)));
  }
  return static_cast<size_t>(o - out);
}

// ---- UTF-8 to modified UTF-8 --------------------------------------------------------------------

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

// The window's bytes with its 4-byte sequences (leads at `four`, all within `within`) written as
// two 3-byte surrogates: each byte gives one or two, ED [A0|hi>>6] from the lead, [80|hi&3F]
// from the second byte, ED [B0|lo>>6] from the third, the fourth as it is (hi, lo: the halves of
// the code point - 10000). The first and second bytes of each are interleaved and packed.
VY_AVX512_INLINE uint8_t* expandFour(__m512i v, uint64_t four, uint64_t within, uint8_t* o) {
  __m512i next = _mm512_maskz_permutexvar_epi8(~0ULL >> 1, _mm512_load_si512(kNext.index), v);
  __m512i nextTop = _mm512_and_si512(_mm512_srli_epi16(next, 4), bytesOf(0x03));
  // Lead: ((b0 & 7) << 2 | b1 >> 4 & 3) - 1 is hi >> 6. Second byte: (b1 & F) << 2 | b2 >> 4 & 3.
  __m512i plane = _mm512_sub_epi8(
      _mm512_or_si512(_mm512_and_si512(_mm512_slli_epi16(v, 2), bytesOf(0x1C)), nextTop),
      bytesOf(1));
  __m512i second = _mm512_ternarylogic_epi32(
      _mm512_and_si512(_mm512_slli_epi16(v, 2), bytesOf(0x3C)), nextTop, bytesOf(0x80), 0xFE);
  __m512i first = _mm512_mask_mov_epi8(v, four | (four << 2), bytesOf(0xED));
  first = _mm512_mask_mov_epi8(first, four << 1, second);
  __m512i extra = _mm512_mask_blend_epi8(
      four, _mm512_or_si512(_mm512_and_si512(v, bytesOf(0x0F)), bytesOf(0xB0)),
      _mm512_or_si512(plane, bytesOf(0xA0)));
  uint64_t two = four | (four << 2);
  for (int h = 0; h < 2; ++h) {
    __m512i pairs = _mm512_permutex2var_epi8(first, _mm512_load_si512(kInterleave.index[h]), extra);
    uint64_t bytes = _pdep_u64(within >> (32 * h), 0x5555555555555555ULL) |
                     _pdep_u64(two >> (32 * h), 0xAAAAAAAAAAAAAAAAULL);
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(bytes, pairs));
    o += _mm_popcnt_u64(bytes);
  }
  return o;
}

// A well-formed window without NULs is its own modified UTF-8 but for its 4-byte sequences, each
// written as two 3-byte surrogates. A 4-byte sequence never spans two windows: one starting in a
// window's last three bytes starts the next window.
VY_AVX512 size_t utf8ToModifiedBytes(const uint8_t* s, size_t n, uint8_t* out, size_t* malformed) {
  uint8_t* o = out;
  size_t i = 0;
  Before before;
  auto scalarFrom = [&](size_t from, size_t stop, scalar::ModifiedUtf8Out& sink) {
    return scalar::decodeUtf8(s, n, from, stop, sink, malformed);
  };
  while (i < n) {
    Window w = windowAt(s, n, i);
    uint64_t nul = _mm512_testn_epi8_mask(w.v, w.v) & w.live;
    if (nul == 0 && plainAscii(w, s + i, before)) {
      _mm512_storeu_si512(o, w.v);
      o += w.count;
      i += w.count;
      before.window(w.v, w.count, true);
      continue;
    }
    loadPrevious(w, s + i, before);
    if (nul != 0 || !wellFormed<false>(w) || (i + 64 == n && !endsComplete(s + n))) {
      i = fallBack<scalar::ModifiedUtf8Out>(s, i, w.count, before.fresh(), o, scalarFrom);
      before.nothing();
      continue;
    }
    uint64_t four = atLeast(w.v, 0xF0);
    size_t end = w.count;
    if (i + 64 < n) {
      uint64_t late = four >> 61;
      if (late != 0) end = 61 + static_cast<size_t>(__builtin_ctzll(late));
    }
    four &= below(end);
    if (four == 0) {
      _mm512_storeu_si512(o, w.v);
      o += end;
    } else {
      o = expandFour(w.v, four, below(end), o);
    }
    i += end;
    before.window(w.v, end);
  }
  return static_cast<size_t>(o - out);
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

Converted utf8ToUtf16(const uint8_t* s, size_t n, uint16_t* out) {
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

Converted utf16ToUtf8(const uint16_t* u, size_t n, uint8_t* out) {
  size_t malformed = n;
  size_t written = utf16ToBytes(u, n, out, &malformed);
  return {written, malformed};
}

VY_AVX512 size_t copyAscii(const uint8_t* s, size_t n, uint8_t* out) {
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    __m512i v = _mm512_loadu_si512(s + i);
    _mm512_storeu_si512(out + i, v);  // the run's part of the block too, and what follows it
    uint64_t high = _mm512_movepi8_mask(v);
    if (high != 0) return i + static_cast<size_t>(__builtin_ctzll(high));
  }
  for (; i < n && s[i] < 0x80; ++i) out[i] = s[i];
  return i;
}

VY_AVX512 size_t narrowAscii(const uint16_t* u, size_t n, uint8_t* out) {
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m512i v = _mm512_loadu_si512(u + i);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm512_cvtepi16_epi8(v));
    uint32_t high = _mm512_test_epi16_mask(v, wordsOf(0xFF80));
    if (high != 0) return i + static_cast<size_t>(__builtin_ctz(high));
  }
  for (; i < n && u[i] < 0x80; ++i) out[i] = static_cast<uint8_t>(u[i]);
  return i;
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
