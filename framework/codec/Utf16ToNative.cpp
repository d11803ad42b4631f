// UTF-16 units to native bytes, as String.getBytes(charset) writes them.
#include "Avx512Codecs.hpp"
#include "Codec.hpp"
#include "ScalarCodec.hpp"
#include "SimdX86.hpp"
#include "Vector.hpp"

namespace vy::codec {
namespace {

#if VY_CODEC_X86
namespace x = x86;

// To ISO-8859-1 or US-ASCII, eight units at a time: each unit the target cannot hold becomes
// "?"; a block holding a surrogate goes to the scalar code (a pair is one "?").
VY_SIMD size_t eightBitVector(const uint16_t* u, size_t n, uint16_t limit, uint8_t*& out,
                              size_t* malformed) {
  const __m128i top = _mm_set1_epi16(static_cast<short>(limit - 1));
  const __m128i mark = _mm_set1_epi16('?');
  uint8_t* o = out;
  size_t i = 0;
  while (i + 8 <= n) {
    __m128i a = x::load(u + i);
    if (x::anySurrogate(a)) {
      i = scalar::encodeEightBit(u, n, i, i + 8, limit, o, malformed);
      continue;
    }
    __m128i keep = _mm_cmpeq_epi16(_mm_min_epu16(a, top), a);
    unsigned lost = ~x::highBits(_mm_packs_epi16(keep, keep)) & 0xFF;
    if (lost != 0) {
      scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctz(lost)));
      a = _mm_blendv_epi8(mark, a, keep);
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(a, a));
    o += 8;
    i += 8;
  }
  out = o;
  return i;
}

// Units from 0x80 and from 0x800 among the first n (a multiple of 8 is counted by vector).
VY_SIMD size_t extraBytes(const uint16_t* u, size_t n, size_t* done) {
  const __m128i from80 = _mm_set1_epi16(0x7F), from800 = _mm_set1_epi16(0x7FF);
  const __m128i ones = _mm_set1_epi16(1);
  size_t extra = 0, i = 0;
  while (i + 8 <= n) {
    __m128i counts = _mm_setzero_si128();  // at most 2 per 8 units per lane, summed below
    size_t end = i + 8 * 8192 < n ? i + 8 * 8192 : n;
    for (; i + 8 <= end; i += 8) {
      __m128i a = _mm_min_epu16(x::load(u + i), _mm_set1_epi16(0x800));
      counts = _mm_sub_epi16(counts, _mm_cmpgt_epi16(a, from80));
      counts = _mm_sub_epi16(counts, _mm_cmpgt_epi16(a, from800));
    }
    __m128i sums = _mm_madd_epi16(counts, ones);
    sums = _mm_add_epi32(sums, _mm_srli_si128(sums, 8));
    sums = _mm_add_epi32(sums, _mm_srli_si128(sums, 4));
    extra += static_cast<uint32_t>(_mm_cvtsi128_si32(sums));
  }
  *done = i;
  return extra;
}
#endif

}  // namespace

// In UTF-8 a unit from 0x80 takes one byte more, one from 0x800 two (a surrogate takes less:
// one "?" or half of a 4-byte sequence); in the 8-bit charsets every unit or pair takes one.
size_t nativeCapacityFromUtf16(Charset cs, const uint16_t* u, size_t n) {
  if (cs != Charset::kUtf8) return n + kSlack;
  if (n <= kUncountedUpTo) return nativeBoundFromUtf16(cs, n);
  size_t extra = 0, i = 0;
#if VY_CODEC_X86
  if (avx512On()) return n + x86::avx512::utf8Extra(u, n) + kSlack;
  if (vectorOn()) extra = extraBytes(u, n, &i);
#endif
  for (; i < n; ++i) extra += (u[i] >= 0x80) + (u[i] >= 0x800);
  return n + extra + kSlack;
}

Converted utf16ToNative(Charset cs, const uint16_t* u, size_t n, uint8_t* out) {
  size_t malformed = n;
  uint8_t* o = out;
  size_t i = 0;
  uint32_t limit = cs == Charset::kLatin1 ? 0x100u : 0x80u;
#if VY_CODEC_X86
  if (avx512On()) {
    return cs == Charset::kUtf8
               ? x86::avx512::utf16ToUtf8(u, n, out)
               : x86::avx512::utf16ToEightBit(u, n, static_cast<uint16_t>(limit), out);
  }
  if (vectorOn()) {
    i = cs == Charset::kUtf8 ? x86::gKernels.encodeUtf8(u, n, o, &malformed)
                             : eightBitVector(u, n, static_cast<uint16_t>(limit), o, &malformed);
  }
#endif
  if (cs == Charset::kUtf8) {
    scalar::encodeUtf8(u, n, i, n, o, &malformed);
  } else {
    scalar::encodeEightBit(u, n, i, n, limit, o, &malformed);
  }
  return {static_cast<size_t>(o - out), malformed};
}

}  // namespace vy::codec
