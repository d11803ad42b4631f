// The AVX-512 level (BW, VL, VBMI, VBMI2): whole conversions, short texts included. A text is
// read in 64-byte windows with masked loads, so neither a short text nor the tail of a long one
// is copied or padded; a window is validated whole and transcoded without a per-character loop,
// surrogate pairs and 4-byte sequences included, or handed to the exact scalar code when it
// holds malformed input.
//
// The decoders compute each character at the position of its last byte, from the bytes before
// it (the validator needs those anyway); a 4-byte sequence gives its high surrogate at its third
// byte and its low one at its fourth. Kept lanes are then packed with the compress instructions.
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

// ---- byte permutations ------------------------------------------------------------------------

// Index tables of vpermb over a 64-byte window: the byte `back` places before each one (zero
// before the window), in natural order or arranged so that unpacking the bytes of each 128-bit
// lane with zeros gives the 16-bit lanes of bytes 0..31 (low unpack) and 32..63 (high unpack)
// in order.
struct Permutes {
  uint8_t index[2][4][64];  // [arranged][back][lane]
  uint64_t live[4];         // lanes that have a byte `back` places before them
  constexpr Permutes() : index(), live() {
    for (int arranged = 0; arranged < 2; ++arranged) {
      for (int back = 0; back < 4; ++back) {
        for (int lane = 0; lane < 64; ++lane) {
          int l = lane / 16, t = lane % 16;
          int natural = arranged == 0 ? lane : t < 8 ? 8 * l + t : 32 + 8 * l + (t - 8);
          index[arranged][back][lane] = static_cast<uint8_t>(natural >= back ? natural - back : 0);
        }
      }
    }
    for (int back = 0; back < 4; ++back) live[back] = ~0ULL << back;
  }
};
alignas(64) constexpr Permutes kPermutes{};

// The arranged table keeps its zero lanes where the natural one has them only lane by lane; its
// masks are built from the natural index.
struct ArrangedLive {
  uint64_t live[4];
  constexpr ArrangedLive() : live() {
    for (int back = 0; back < 4; ++back) {
      for (int lane = 0; lane < 64; ++lane) {
        int l = lane / 16, t = lane % 16;
        int natural = t < 8 ? 8 * l + t : 32 + 8 * l + (t - 8);
        if (natural >= back) live[back] |= 1ULL << lane;
      }
    }
  }
};
constexpr ArrangedLive kArrangedLive{};

// A window and the three bytes before each of its bytes (zero before the window).
struct Bytes {
  __m512i v, p1, p2, p3;
};

template <int kArranged>
VY_AVX512_INLINE Bytes withPrevious(__m512i v) {
  const auto& t = kPermutes.index[kArranged];
  const uint64_t* live = kArranged ? kArrangedLive.live : kPermutes.live;
  Bytes b;
  b.v = kArranged ? _mm512_permutexvar_epi8(_mm512_load_si512(t[0]), v) : v;
  b.p1 = _mm512_maskz_permutexvar_epi8(live[1], _mm512_load_si512(t[1]), v);
  b.p2 = _mm512_maskz_permutexvar_epi8(live[2], _mm512_load_si512(t[2]), v);
  b.p3 = _mm512_maskz_permutexvar_epi8(live[3], _mm512_load_si512(t[3]), v);
  return b;
}

// ---- validation ---------------------------------------------------------------------------------

// True when the window is well formed from its start (bytewise, so the lanes may be in any
// order as long as all four vectors share it): standard UTF-8, or modified UTF-8 as the JVM
// writes it. A sequence cut by the window's last byte is not an error here.
template <bool kModified>
VY_AVX512_INLINE bool wellFormed(const Bytes& b) {
  const __m512i low = _mm512_set1_epi8(0x0F);
  __m512i firstHigh = _mm512_broadcast_i32x4(Utf8Check<kModified>::firstHigh());
  __m512i firstLow = _mm512_broadcast_i32x4(Utf8Check<kModified>::firstLow());
  __m512i secondHigh = _mm512_broadcast_i32x4(Utf8Check<kModified>::secondHigh());
  __m512i special = _mm512_and_si512(
      _mm512_and_si512(
          _mm512_shuffle_epi8(firstHigh, _mm512_and_si512(_mm512_srli_epi16(b.p1, 4), low)),
          _mm512_shuffle_epi8(firstLow, _mm512_and_si512(b.p1, low))),
      _mm512_shuffle_epi8(secondHigh, _mm512_and_si512(_mm512_srli_epi16(b.v, 4), low)));
  __m512i third = _mm512_subs_epu8(b.p2, _mm512_set1_epi8(static_cast<char>(0xE0 - 0x80)));
  __m512i fourth = _mm512_subs_epu8(b.p3, _mm512_set1_epi8(static_cast<char>(0xF0 - 0x80)));
  __m512i must23 = _mm512_and_si512(_mm512_or_si512(third, fourth), _mm512_set1_epi8(-128));
  __m512i error = _mm512_xor_si512(must23, special);
  if (kModified) {
    // Bytes from F0 never occur.
    error =
        _mm512_or_si512(error, _mm512_subs_epu8(b.v, _mm512_set1_epi8(static_cast<char>(0xEF))));
  }
  return _mm512_test_epi8_mask(error, error) == 0;
}

VY_AVX512_INLINE uint64_t atLeast(__m512i v, uint8_t floor) {
  return _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(floor)));
}

// Where the last complete sequence of the 64 bytes at p ends. Read from memory rather than from
// the window's masks: the next window's address waits on it.
VY_AVX512_INLINE size_t completeEnd(const uint8_t* p) {
  if (p[63] >= 0xC0) return 63;
  if (p[62] >= 0xE0) return 62;
  if (p[61] >= 0xF0) return 61;
  return 64;
}

VY_AVX512_INLINE uint64_t below(size_t end) { return end >= 64 ? ~0ULL : (1ULL << end) - 1; }

VY_AVX512_INLINE __m512i bytesOf(uint8_t b) { return _mm512_set1_epi8(static_cast<char>(b)); }
VY_AVX512_INLINE __m512i wordsOf(uint16_t w) { return _mm512_set1_epi16(static_cast<short>(w)); }

// ---- UTF-8 to UTF-16 units -------------------------------------------------------------------

// The payload bits of a byte by its high nibble: 7 for ASCII, 6 for a continuation byte, 5, 4
// or 3 for the lead of a 2-, 3- or 4-byte sequence.
VY_AVX512_INLINE __m512i payloadMasks() {
  return _mm512_broadcast_i32x4(_mm_setr_epi8(0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x3F,
                                              0x3F, 0x3F, 0x3F, 0x1F, 0x1F, 0x0F, 0x07));
}

VY_AVX512_INLINE __m512i payload(__m512i x, __m512i masks) {
  return _mm512_and_si512(
      x, _mm512_shuffle_epi8(masks, _mm512_and_si512(_mm512_srli_epi16(x, 4), bytesOf(0x0F))));
}

// The payloads of a validated (arranged) window's bytes, each in the place it takes in the
// character ending at that lane: a its own, b the byte before (when this one continues it), c
// the byte two before (when both continue it).
struct Payloads {
  __m512i a, b, c;
};

VY_AVX512_INLINE Payloads payloadsOf(const Bytes& x) {
  const __m512i masks = payloadMasks();
  uint64_t continues = _mm512_cmplt_epi8_mask(x.v, bytesOf(0xC0));  // 80..BF, signed below C0
  uint64_t continues1 = _mm512_cmplt_epi8_mask(x.p1, bytesOf(0xC0));
  return {payload(x.v, masks), _mm512_maskz_mov_epi8(continues, payload(x.p1, masks)),
          _mm512_maskz_mov_epi8(continues & continues1, payload(x.p2, masks))};
}

// One half of the units: lane k holds the character whose last byte is byte k of the half
// (a | b << 6 | c << 12), or a surrogate where `high` (the third byte of a 4-byte sequence,
// where that sum is the code point >> 6) or `low` (the fourth, whose sum ends in the code
// point's low 10 bits) says so.
VY_AVX512_INLINE __m512i unitsOf(const Payloads& p, bool upper, uint32_t high, uint32_t low) {
  const __m512i zero = _mm512_setzero_si512();
  __m512i a = upper ? _mm512_unpackhi_epi8(p.a, zero) : _mm512_unpacklo_epi8(p.a, zero);
  __m512i b = upper ? _mm512_unpackhi_epi8(p.b, zero) : _mm512_unpacklo_epi8(p.b, zero);
  __m512i c = upper ? _mm512_unpackhi_epi8(p.c, zero) : _mm512_unpacklo_epi8(p.c, zero);
  __m512i r = _mm512_ternarylogic_epi32(a, _mm512_slli_epi16(b, 6), _mm512_slli_epi16(c, 12), 0xFE);
  // D800 + (code point >> 10) - 40, and DC00 | (code point & 3FF).
  r = _mm512_mask_add_epi16(r, high, _mm512_srli_epi16(r, 4), wordsOf(0xD7C0));
  return _mm512_mask_mov_epi16(r, low,
                               _mm512_ternarylogic_epi32(r, wordsOf(0x3FF), wordsOf(0xDC00), 0xEA));
}

// A window of the input at i: its bytes (zero past the end), how many, and whether it is full
// (a sequence cut by its end is then left to the next window; in a short one the zeros after
// the input make a cut sequence malformed).
struct Window {
  __m512i v;
  uint64_t high;  // bytes from 0x80
  size_t count;
  bool more;  // a full window: a sequence cut by its end may go on
};

VY_AVX512_INLINE Window windowAt(const uint8_t* s, size_t n, size_t i) {
  size_t left = n - i;
  Window w;
  w.v = left >= 64 ? _mm512_loadu_si512(s + i) : _mm512_maskz_loadu_epi8((1ULL << left) - 1, s + i);
  w.high = _mm512_movepi8_mask(w.v);
  w.count = left >= 64 ? 64 : left;
  w.more = left >= 64;
  return w;
}

// ---- UTF-8 to UTF-16
// ------------------------------------------------------------------------------

VY_AVX512 size_t utf8ToUnits(const uint8_t* s, size_t n, uint16_t* out, size_t* malformed) {
  uint16_t* o = out;
  size_t i = 0;
  while (i < n) {
    Window w = windowAt(s, n, i);
    if (w.high == 0) {
      _mm512_storeu_si512(o, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(w.v)));
      _mm512_storeu_si512(o + 32, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(w.v, 1)));
      o += w.count;
      i += w.count;
      continue;
    }
    Bytes b = withPrevious<1>(w.v);
    if (!wellFormed<false>(b)) {
      scalar::UnitsOut sink{o};
      i = scalar::decodeUtf8(s, n, i, i + w.count, sink, malformed);
      o = sink.p;
      continue;
    }
    size_t end = w.more ? completeEnd(s + i) : w.count;
    uint64_t c0 = atLeast(w.v, 0xC0), f0 = atLeast(w.v, 0xF0);
    // The lanes that end a character, and the third bytes of 4-byte ones (their high surrogate).
    uint64_t continuation = w.high & ~c0;
    uint64_t last = ((~continuation >> 1) | (1ULL << (end - 1)) | (f0 << 2)) & below(end);
    Payloads p = payloadsOf(b);
    uint64_t high4 = f0 << 2, low4 = f0 << 3;
#pragma GCC unroll 2
    for (int h = 0; h < 64; h += 32) {
      uint32_t keep = static_cast<uint32_t>(last >> h);
      __m512i r =
          unitsOf(p, h != 0, static_cast<uint32_t>(high4 >> h), static_cast<uint32_t>(low4 >> h));
      _mm512_storeu_si512(o, _mm512_maskz_compress_epi16(keep, r));
      o += _mm_popcnt_u32(keep);
    }
    i += end;
  }
  return static_cast<size_t>(o - out);
}

// ---- modified UTF-8 to UTF-8
// ----------------------------------------------------------------------

// A well-formed window is its own UTF-8 but for its encoded surrogates (ED A0..BF xx): a high one
// followed by a low one becomes one 4-byte sequence written over the last four of their six
// bytes, any other becomes "?".
VY_AVX512 size_t modifiedToUtf8Bytes(const uint8_t* s, size_t n, uint8_t* out, size_t* malformed) {
  uint8_t* o = out;
  size_t i = 0;
  while (i < n) {
    Window w = windowAt(s, n, i);
    if (w.high == 0) {
      _mm512_storeu_si512(o, w.v);
      o += w.count;
      i += w.count;
      continue;
    }
    Bytes b = withPrevious<0>(w.v);
    if (!wellFormed<true>(b)) {
      scalar::Utf8Out sink{o};
      i = scalar::readModified(s, n, i, i + w.count, sink, malformed);
      o = sink.p;
      continue;
    }
    size_t end = w.count;
    uint64_t a0 = atLeast(w.v, 0xA0) >> 1, b0 = atLeast(w.v, 0xB0) >> 1;
    uint64_t surrogate = _mm512_cmpeq_epi8_mask(w.v, bytesOf(0xED)) & a0;
    uint64_t high = surrogate & ~b0, low = surrogate & b0;
    if (w.more) {
      end = completeEnd(s + i);
      // A high surrogate whose partner would start at or after the end waits for the next window
      // (only one ending the window can).
      const uint8_t* q = s + i + end - 3;
      if (q[0] == 0xED && q[1] >= 0xA0 && q[1] < 0xB0) end -= 3;
    }
    uint64_t within = below(end);
    uint64_t pair = high & (low >> 3) & within;
    uint64_t lone = surrogate & ~pair & ~(pair << 3) & within;
    if ((pair | lone) == 0) {
      _mm512_storeu_si512(o, w.v);
      o += end;
      i += end;
      continue;
    }
    __m512i r = w.v;
    if (pair != 0) {
      // ED [A0|w] [80|x] ED [B0|y] [80|z], plane = w + 1: F0|plane>>2, 80|(plane&3)<<4|x>>2,
      // 80|(x&3)<<4|y, 80|z (the last byte as it is).
      const __m512i nibble = bytesOf(0x0F);
      __m512i plane1 = _mm512_add_epi8(_mm512_and_si512(b.p1, nibble), bytesOf(1));
      __m512i plane2 = _mm512_add_epi8(_mm512_and_si512(b.p2, nibble), bytesOf(1));
      __m512i first = _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi16(plane1, 2), bytesOf(0x07)),
                                      bytesOf(0xF0));
      __m512i second = _mm512_or_si512(
          _mm512_or_si512(_mm512_and_si512(_mm512_slli_epi16(plane2, 4), bytesOf(0x30)),
                          _mm512_and_si512(_mm512_srli_epi16(b.p1, 2), nibble)),
          bytesOf(0x80));
      __m512i third = _mm512_or_si512(
          _mm512_or_si512(_mm512_and_si512(_mm512_slli_epi16(b.p2, 4), bytesOf(0x30)),
                          _mm512_and_si512(w.v, nibble)),
          bytesOf(0x80));
      r = _mm512_mask_blend_epi8(pair << 2, r, first);
      r = _mm512_mask_blend_epi8(pair << 3, r, second);
      r = _mm512_mask_blend_epi8(pair << 4, r, third);
    }
    if (lone != 0) {
      r = _mm512_mask_blend_epi8(lone, r, bytesOf('?'));
      scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctzll(lone)));
    }
    uint64_t keep = within & ~(pair | (pair << 1) | (lone << 1) | (lone << 2));
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, r));
    o += _mm_popcnt_u64(keep);
    i += end;
  }
  return static_cast<size_t>(o - out);
}

// ---- UTF-16 to UTF-8
// ------------------------------------------------------------------------------

// Sixteen units at u[0, count) (u[count] read too when `next` says so) as UTF-8, each in a 32-bit
// lane: a high surrogate followed by a low one gives the pair's 4 bytes and the low one nothing,
// any other surrogate "?". Returns the units consumed (one more than count when the last was the
// high half of a pair).
VY_AVX512 size_t utf16ToBytes(const uint16_t* u, size_t n, uint8_t* out, size_t* malformed) {
  uint8_t* o = out;
  size_t i = 0;
  const __m512i six = _mm512_set1_epi32(0x3F);
  while (i < n) {
    size_t left = n - i;
    if (left >= 32) {
      __m512i all = _mm512_loadu_si512(u + i);
      if (_mm512_test_epi16_mask(all, wordsOf(0xFF80)) == 0) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm512_cvtepi16_epi8(all));
        o += 32;
        i += 32;
        continue;
      }
    }
    size_t count = left >= 16 ? 16 : left;
    __mmask16 live = static_cast<__mmask16>((1u << count) - 1);
    __mmask16 liveNext = static_cast<__mmask16>(left > 16 ? 0xFFFF : (1u << (left - 1)) - 1);
    __m256i a = _mm256_maskz_loadu_epi16(live, u + i);
    __m256i next = _mm256_maskz_loadu_epi16(liveNext, u + i + 1);
    uint32_t from80 = _mm256_cmpge_epu16_mask(a, _mm256_set1_epi16(0x80));
    uint32_t from800 = _mm256_cmpge_epu16_mask(a, _mm256_set1_epi16(0x800));
    uint32_t surrogate =
        _mm256_cmpeq_epi16_mask(_mm256_and_si256(a, _mm256_set1_epi16(static_cast<short>(0xF800))),
                                _mm256_set1_epi16(static_cast<short>(0xD800)));
    __m512i c = _mm512_cvtepu16_epi32(a);
    __m512i two = _mm512_or_si512(
        _mm512_or_si512(_mm512_srli_epi32(c, 6), _mm512_slli_epi32(_mm512_and_si512(c, six), 8)),
        _mm512_set1_epi32(0x80C0));
    __m512i three = _mm512_or_si512(
        _mm512_or_si512(_mm512_srli_epi32(c, 12),
                        _mm512_slli_epi32(_mm512_and_si512(_mm512_srli_epi32(c, 6), six), 8)),
        _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(c, six), 16),
                        _mm512_set1_epi32(0x8080E0)));
    __m512i r = _mm512_mask_blend_epi32(static_cast<__mmask16>(from80), c, two);
    r = _mm512_mask_blend_epi32(static_cast<__mmask16>(from800), r, three);
    uint32_t pair = 0, low = 0;
    if (surrogate != 0) {
      const __m256i top6 = _mm256_set1_epi16(static_cast<short>(0xFC00));
      uint32_t high = _mm256_cmpeq_epi16_mask(_mm256_and_si256(a, top6),
                                              _mm256_set1_epi16(static_cast<short>(0xD800)));
      uint32_t nextLow = _mm256_cmpeq_epi16_mask(_mm256_and_si256(next, top6),
                                                 _mm256_set1_epi16(static_cast<short>(0xDC00)));
      pair = high & nextLow;
      low = (pair << 1) & 0xFFFF;
      uint32_t lone = surrogate & ~pair & ~low;
      // (high << 10) + low - (D800 << 10) - DC00 + 10000
      __m512i cp =
          _mm512_add_epi32(_mm512_add_epi32(_mm512_slli_epi32(c, 10), _mm512_cvtepu16_epi32(next)),
                           _mm512_set1_epi32(-0x35FDC00));
      __m512i four = _mm512_or_si512(
          _mm512_or_si512(_mm512_srli_epi32(cp, 18),
                          _mm512_slli_epi32(_mm512_and_si512(_mm512_srli_epi32(cp, 12), six), 8)),
          _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi32(
                                              _mm512_and_si512(_mm512_srli_epi32(cp, 6), six), 16),
                                          _mm512_slli_epi32(_mm512_and_si512(cp, six), 24)),
                          _mm512_set1_epi32(static_cast<int>(0x808080F0))));
      r = _mm512_mask_blend_epi32(static_cast<__mmask16>(pair), r, four);
      r = _mm512_mask_blend_epi32(static_cast<__mmask16>(lone), r, _mm512_set1_epi32('?'));
      if (lone != 0) {
        scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctz(lone)));
      }
      from80 &= ~surrogate;
      from800 &= ~surrogate;
    }
    // Byte k of lane j is kept when the lane's sequence is longer than k.
    uint64_t bytes = _pdep_u64(live & ~low, 0x1111111111111111ULL) |
                     _pdep_u64(from80 | pair, 0x2222222222222222ULL) |
                     _pdep_u64(from800 | pair, 0x4444444444444444ULL) |
                     _pdep_u64(pair, 0x8888888888888888ULL);
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(bytes, r));
    o += _mm_popcnt_u64(bytes);
    i += count + ((pair >> 15) & 1);
  }
  return static_cast<size_t>(o - out);
}

// ---- UTF-8 to modified UTF-8
// ------------------------------------------------------------------------

// A well-formed window without NULs is its own modified UTF-8 but for its 4-byte sequences, each
// written as two 3-byte surrogates.
VY_AVX512 size_t utf8ToModifiedBytes(const uint8_t* s, size_t n, uint8_t* out, size_t* malformed) {
  uint8_t* o = out;
  size_t i = 0;
  while (i < n) {
    Window w = windowAt(s, n, i);
    uint64_t nul = _mm512_testn_epi8_mask(w.v, w.v) & below(w.count);
    if ((w.high | nul) == 0) {
      _mm512_storeu_si512(o, w.v);
      o += w.count;
      i += w.count;
      continue;
    }
    if (nul != 0 || !wellFormed<false>(withPrevious<0>(w.v))) {
      scalar::ModifiedUtf8Out sink{o};
      i = scalar::decodeUtf8(s, n, i, i + w.count, sink, malformed);
      o = sink.p;
      continue;
    }
    uint64_t f0 = atLeast(w.v, 0xF0);
    size_t end = w.more ? completeEnd(s + i) : w.count;
    uint64_t four = f0 & below(end);
    size_t from = 0;
    while (four != 0) {
      size_t f = static_cast<size_t>(__builtin_ctzll(four));
      four &= four - 1;
      _mm512_storeu_si512(o, _mm512_maskz_loadu_epi8(below(end - from), s + i + from));
      o += f - from;
      const uint8_t* q = s + i + f;
      uint32_t cp =
          ((q[0] & 0x07u) << 18) | ((q[1] & 0x3Fu) << 12) | ((q[2] & 0x3Fu) << 6) | (q[3] & 0x3Fu);
      uint32_t high = 0xD800 + ((cp - 0x10000) >> 10), low = 0xDC00 + (cp & 0x3FF);
      o[0] = 0xED;
      o[1] = static_cast<uint8_t>(0x80 | ((high >> 6) & 0x3F));
      o[2] = static_cast<uint8_t>(0x80 | (high & 0x3F));
      o[3] = 0xED;
      o[4] = static_cast<uint8_t>(0x80 | ((low >> 6) & 0x3F));
      o[5] = static_cast<uint8_t>(0x80 | (low & 0x3F));
      o += 6;
      from = f + 4;
    }
    _mm512_storeu_si512(o, _mm512_maskz_loadu_epi8(below(end - from), s + i + from));
    o += end - from;
    i += end;
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

Converted utf16ToUtf8(const uint16_t* u, size_t n, uint8_t* out) {
  size_t malformed = n;
  size_t written = utf16ToBytes(u, n, out, &malformed);
  return {written, malformed};
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
