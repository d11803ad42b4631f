// The whole-window kernels of the x86 vector code: one set on SSE4.1, one on AVX-512 (BW, VL,
// VBMI, VBMI2), the machine's pick made when the library loads.
#include "ScalarCodec.hpp"
#include "SimdX86.hpp"

#if VY_CODEC_X86

#define VY_AVX512 \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,popcnt,bmi2")))

namespace vy::codec::x86 {
namespace {

// ---- SSE4.1 -------------------------------------------------------------------------------------

template <bool kModified>
VY_SIMD bool checkSse(const uint8_t* data) {
  Utf8Check<kModified> check;
  for (int k = 0; k < 64; k += 16) check.add(load(data + k));
  return check.ok();
}

VY_SIMD_INLINE void writePair(const uint8_t* q, uint16_t* o) {
  uint32_t cp =
      ((q[0] & 0x07u) << 18) | ((q[1] & 0x3Fu) << 12) | ((q[2] & 0x3Fu) << 6) | (q[3] & 0x3Fu);
  o[0] = static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10));
  o[1] = static_cast<uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
}

VY_SIMD uint16_t* decodeSse(const uint8_t* data, size_t end, uint16_t* o) {
  const __m128i zero = _mm_setzero_si128();
  const uint8_t* p = data;
  const uint8_t* stop = data + end;
  while (p < stop) {
    size_t left = static_cast<size_t>(stop - p);
    unsigned within = left >= 16 ? 0xFFFF : (1u << left) - 1;
    __m128i v = load(p);
    if (highBits(v) == 0) {
      store(o, _mm_unpacklo_epi8(v, zero));
      store(o + 8, _mm_unpackhi_epi8(v, zero));
      o += left >= 16 ? 16 : left;
      p += 16;
      continue;
    }
    unsigned leads = leadBits(v) & within;
    unsigned four = highBits(atLeast(v, 0xF0)) & within;
    if (four == 0) {
      o = decodeChunk(p, leads, o);
      p += 16;
      continue;
    }
    unsigned f = static_cast<unsigned>(__builtin_ctz(four));
    o = decodeChunk(p, leads & ((1u << f) - 1), o);
    writePair(p + f, o);
    o += 2;
    p += f + 4;
  }
  return o;
}

// To UTF-8, eight units at a time; a block holding a surrogate goes to the scalar code, which
// takes a pair across the block's end whole.
VY_SIMD size_t encodeSse(const uint16_t* u, size_t n, uint8_t*& out, size_t* malformed) {
  uint8_t* o = out;
  size_t i = 0;
  while (i + 16 <= n) {
    __m128i a = load(u + i), b = load(u + i + 8);
    __m128i both = _mm_or_si128(a, b);
    if (_mm_testz_si128(both, _mm_set1_epi16(static_cast<short>(0xFF80)))) {
      store(o, _mm_packus_epi16(a, b));
      o += 16;
      i += 16;
      continue;
    }
    if (anySurrogate(a)) {
      i = scalar::encodeUtf8(u, n, i, i + 8, o, malformed);
      continue;
    }
    o = encodeUnits(a, o);
    i += 8;
  }
  while (i + 8 <= n) {
    __m128i a = load(u + i);
    if (anySurrogate(a)) {
      i = scalar::encodeUtf8(u, n, i, i + 8, o, malformed);
      continue;
    }
    o = encodeUnits(a, o);
    i += 8;
  }
  out = o;
  return i;
}

// ---- AVX-512 ------------------------------------------------------------------------------------

struct Shifts {
  uint8_t by[3][64];
  constexpr Shifts() : by() {
    for (int k = 0; k < 3; ++k) {
      for (int i = 0; i < 64; ++i) by[k][i] = static_cast<uint8_t>(i > k ? i - k - 1 : 0);
    }
  }
};
alignas(64) constexpr Shifts kShifts{};

// The whole window in one register: the bytes before each byte come from byte permutes, with
// zeros (ASCII) before the window's start.
template <bool kModified>
VY_AVX512 bool checkAvx512(const uint8_t* data) {
  __m512i in = _mm512_loadu_si512(data);
  __m512i prev1 = _mm512_maskz_permutexvar_epi8(~1ULL, _mm512_load_si512(kShifts.by[0]), in);
  __m512i prev2 = _mm512_maskz_permutexvar_epi8(~3ULL, _mm512_load_si512(kShifts.by[1]), in);
  __m512i prev3 = _mm512_maskz_permutexvar_epi8(~7ULL, _mm512_load_si512(kShifts.by[2]), in);
  const __m512i low = _mm512_set1_epi8(0x0F);
  // The nibble tables of Utf8Check, one copy per 128-bit lane.
  Utf8Check<kModified> tables;
  __m512i firstHigh = _mm512_broadcast_i32x4(tables.firstHigh());
  __m512i firstLow = _mm512_broadcast_i32x4(tables.firstLow());
  __m512i secondHigh = _mm512_broadcast_i32x4(tables.secondHigh());
  __m512i special = _mm512_and_si512(
      _mm512_and_si512(
          _mm512_shuffle_epi8(firstHigh, _mm512_and_si512(_mm512_srli_epi16(prev1, 4), low)),
          _mm512_shuffle_epi8(firstLow, _mm512_and_si512(prev1, low))),
      _mm512_shuffle_epi8(secondHigh, _mm512_and_si512(_mm512_srli_epi16(in, 4), low)));
  __m512i third = _mm512_subs_epu8(prev2, _mm512_set1_epi8(static_cast<char>(0xE0 - 0x80)));
  __m512i fourth = _mm512_subs_epu8(prev3, _mm512_set1_epi8(static_cast<char>(0xF0 - 0x80)));
  __m512i must23 = _mm512_and_si512(_mm512_or_si512(third, fourth), _mm512_set1_epi8(-128));
  __m512i error = _mm512_xor_si512(must23, special);
  if (kModified && _mm512_cmpge_epu8_mask(in, _mm512_set1_epi8(static_cast<char>(0xF0))) != 0) {
    return false;
  }
  return _mm512_test_epi8_mask(error, error) == 0;
}

VY_AVX512 uint16_t* decodeAvx512(const uint8_t* data, size_t end, uint16_t* o) {
  const uint8_t* p = data;
  const uint8_t* stop = data + end;
  while (p < stop) {
    size_t left = static_cast<size_t>(stop - p);
    uint32_t within = left >= 32 ? ~0u : (1u << left) - 1;
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    __m512i b0 = _mm512_cvtepu8_epi16(v);
    if (_mm256_movemask_epi8(v) == 0) {
      _mm512_storeu_si512(o, b0);
      o += left >= 32 ? 32 : left;
      p += 32;
      continue;
    }
    uint32_t leads = _mm256_cmpgt_epi8_mask(v, _mm256_set1_epi8(static_cast<char>(0xBF))) & within;
    uint32_t four = _mm256_cmpge_epu8_mask(v, _mm256_set1_epi8(static_cast<char>(0xF0))) & within;
    unsigned f = four != 0 ? static_cast<unsigned>(__builtin_ctz(four)) : 32;
    if (four != 0) leads &= (1u << f) - 1;
    __m512i b1 = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1)));
    __m512i b2 = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2)));
    __m512i c1 = _mm512_and_si512(b1, _mm512_set1_epi16(0x3F));
    __m512i c2 = _mm512_and_si512(b2, _mm512_set1_epi16(0x3F));
    __m512i two =
        _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(b0, _mm512_set1_epi16(0x1F)), 6), c1);
    __m512i three =
        _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi16(b0, 12), _mm512_slli_epi16(c1, 6)), c2);
    __m512i r =
        _mm512_mask_blend_epi16(_mm512_cmpgt_epu16_mask(b0, _mm512_set1_epi16(0xBF)), b0, two);
    r = _mm512_mask_blend_epi16(_mm512_cmpgt_epu16_mask(b0, _mm512_set1_epi16(0xDF)), r, three);
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi16(leads, r));
    o += _mm_popcnt_u32(leads);
    if (four == 0) {
      p += 32;
      continue;
    }
    writePair(p + f, o);
    o += 2;
    p += f + 4;
  }
  return o;
}

VY_AVX512 size_t encodeAvx512(const uint16_t* u, size_t n, uint8_t*& out, size_t* malformed) {
  const __m512i low6 = _mm512_set1_epi32(0x3F);
  uint8_t* o = out;
  size_t i = 0;
  while (i + 16 <= n) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(u + i));
    if (_mm256_testz_si256(v, _mm256_set1_epi16(static_cast<short>(0xFF80)))) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_cvtepi16_epi8(v));
      o += 16;
      i += 16;
      continue;
    }
    // Units before the first surrogate go by vector, the surrogate (and its partner) by the
    // scalar code.
    uint32_t surrogates =
        _mm256_cmpeq_epi16_mask(_mm256_and_si256(v, _mm256_set1_epi16(static_cast<short>(0xF800))),
                                _mm256_set1_epi16(static_cast<short>(0xD800)));
    unsigned take = surrogates != 0 ? static_cast<unsigned>(__builtin_ctz(surrogates)) : 16;
    uint64_t lanes = take == 16 ? 0xFFFF : (1u << take) - 1;
    __m512i c = _mm512_cvtepu16_epi32(v);
    uint64_t from80 = _mm512_cmpgt_epu32_mask(c, _mm512_set1_epi32(0x7F)) & lanes;
    uint64_t from800 = _mm512_cmpgt_epu32_mask(c, _mm512_set1_epi32(0x7FF)) & lanes;
    __m512i two = _mm512_or_si512(
        _mm512_or_si512(_mm512_srli_epi32(c, 6), _mm512_slli_epi32(_mm512_and_si512(c, low6), 8)),
        _mm512_set1_epi32(0x80C0));
    __m512i three = _mm512_or_si512(
        _mm512_or_si512(_mm512_srli_epi32(c, 12),
                        _mm512_slli_epi32(_mm512_and_si512(_mm512_srli_epi32(c, 6), low6), 8)),
        _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(c, low6), 16),
                        _mm512_set1_epi32(0x8080E0)));
    __m512i r = _mm512_mask_blend_epi32(static_cast<__mmask16>(from80), c, two);
    r = _mm512_mask_blend_epi32(static_cast<__mmask16>(from800), r, three);
    // Byte k of lane j is kept when the lane's sequence is longer than k.
    uint64_t bytes = _pdep_u64(lanes, 0x1111111111111111ULL) |
                     _pdep_u64(from80, 0x2222222222222222ULL) |
                     _pdep_u64(from800, 0x4444444444444444ULL);
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(bytes, r));
    o += _mm_popcnt_u64(bytes);
    if (take == 16) {
      i += 16;
      continue;
    }
    size_t at = i + take;
    uint32_t high = u[at];
    if (scalar::isHighSurrogate(high) && at + 1 < n && scalar::isLowSurrogate(u[at + 1])) {
      uint32_t cp = 0x10000 + ((high - 0xD800) << 10) + (u[at + 1] - 0xDC00u);
      o[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
      o[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
      o[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
      o[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
      o += 4;
      i = at + 2;
    } else {
      i = scalar::encodeUtf8(u, n, at, at + 1, o, malformed);  // a lone half: "?"
    }
  }
  out = o;
  return i;
}

}  // namespace

Kernels sseKernels() { return {checkSse<false>, checkSse<true>, decodeSse, encodeSse}; }
Kernels avx512Kernels() {
  return {checkAvx512<false>, checkAvx512<true>, decodeAvx512, encodeAvx512};
}

bool avx512Available() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("avx512vbmi2");
}

}  // namespace vy::codec::x86

#endif  // VY_CODEC_X86
