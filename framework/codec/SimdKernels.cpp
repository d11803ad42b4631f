// The whole-window kernels of the x86 vector code: one set on SSE4.1, one on AVX2 (also the
// window work of the AVX-512 level, whose own code converts UTF-8 in every direction), the
// machine's pick made when the library loads.
#include "ScalarCodec.hpp"
#include "SimdX86.hpp"

#if VY_CODEC_X86

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

// One step of decoding validated UTF-8 at p (left bytes to the window's end, 16 more readable):
// 16 bytes, or up to and including the first 4-byte sequence among them. Returns the bytes read.
VY_SIMD_INLINE size_t decodeStep(const uint8_t* p, size_t left, uint16_t*& o) {
  const __m128i zero = _mm_setzero_si128();
  unsigned within = left >= 16 ? 0xFFFF : (1u << left) - 1;
  __m128i v = load(p);
  if (highBits(v) == 0) {
    store(o, _mm_unpacklo_epi8(v, zero));
    store(o + 8, _mm_unpackhi_epi8(v, zero));
    o += left >= 16 ? 16 : left;
    return 16;
  }
  unsigned leads = leadBits(v) & within;
  unsigned four = highBits(atLeast(v, 0xF0)) & within;
  if (four == 0) {
    o = decodeChunk(p, leads, o);
    return 16;
  }
  unsigned f = static_cast<unsigned>(__builtin_ctz(four));
  o = decodeChunk(p, leads & ((1u << f) - 1), o);
  writePair(p + f, o);
  o += 2;
  return f + 4;
}

VY_SIMD uint16_t* decodeSse(const uint8_t* data, size_t end, uint16_t* o) {
  const uint8_t* p = data;
  const uint8_t* stop = data + end;
  while (p < stop) p += decodeStep(p, static_cast<size_t>(stop - p), o);
  return o;
}

// To UTF-8, the eight units at i (i + 8 <= n); a block holding a surrogate goes to the scalar
// code, which takes a pair across the block's end whole. Answers where the next block starts.
VY_SIMD_INLINE size_t encodeEight(const uint16_t* u, size_t n, size_t i, uint8_t*& o,
                                  size_t* malformed) {
  __m128i a = load(u + i);
  if (anySurrogate(a)) {
    // A copy of the output pointer goes to the call, so that the loops around keep theirs in a
    // register rather than in memory.
    uint8_t* p = o;
    size_t next = scalar::encodeUtf8(u, n, i, i + 8, p, malformed);
    o = p;
    return next;
  }
  o = encodeUnits(a, o);
  return i + 8;
}

// To UTF-8: sixteen units at a time while they are ASCII, else eight.
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
    i = encodeEight(u, n, i, o, malformed);
  }
  while (i + 8 <= n) i = encodeEight(u, n, i, o, malformed);
  out = o;
  return i;
}

// ---- AVX2 ---------------------------------------------------------------------------------------

#define VY_AVX2 __attribute__((target("avx2,popcnt")))
#define VY_AVX2_INLINE __attribute__((target("avx2,popcnt"), always_inline)) inline

VY_AVX2_INLINE __m256i load256(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// The window as two 32-byte halves: the bytes before each come from the half before (zeros
// before the window), shifted across the 128-bit lanes.
template <bool kModified>
VY_AVX2 bool checkAvx2(const uint8_t* data) {
  const __m256i low = _mm256_set1_epi8(0x0F);
  const __m256i firstHigh = _mm256_broadcastsi128_si256(Utf8Check<kModified>::firstHigh());
  const __m256i firstLow = _mm256_broadcastsi128_si256(Utf8Check<kModified>::firstLow());
  const __m256i secondHigh = _mm256_broadcastsi128_si256(Utf8Check<kModified>::secondHigh());
  __m256i error = _mm256_setzero_si256();
  __m256i prev = _mm256_setzero_si256();
  for (int k = 0; k < 64; k += 32) {
    __m256i in = load256(data + k);
    __m256i across = _mm256_permute2x128_si256(prev, in, 0x21);
    __m256i prev1 = _mm256_alignr_epi8(in, across, 15);
    __m256i prev2 = _mm256_alignr_epi8(in, across, 14);
    __m256i prev3 = _mm256_alignr_epi8(in, across, 13);
    __m256i special = _mm256_and_si256(
        _mm256_and_si256(
            _mm256_shuffle_epi8(firstHigh, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), low)),
            _mm256_shuffle_epi8(firstLow, _mm256_and_si256(prev1, low))),
        _mm256_shuffle_epi8(secondHigh, _mm256_and_si256(_mm256_srli_epi16(in, 4), low)));
    __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    __m256i must23 = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(-128));
    error = _mm256_or_si256(error, _mm256_xor_si256(must23, special));
    if (kModified) {  // F0..FF
      error =
          _mm256_or_si256(error, _mm256_subs_epu8(in, _mm256_set1_epi8(static_cast<char>(0xEF))));
    }
    prev = in;
  }
  return _mm256_testz_si256(error, error) != 0;
}

// As decodeSse, with ASCII taken 32 bytes at a time.
VY_AVX2 uint16_t* decodeAvx2(const uint8_t* data, size_t end, uint16_t* o) {
  const uint8_t* p = data;
  const uint8_t* stop = data + end;
  while (p < stop) {
    size_t left = static_cast<size_t>(stop - p);
    __m256i v = load256(p);
    if (_mm256_movemask_epi8(v) == 0) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(o),
                          _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 16),
                          _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
      o += left >= 32 ? 32 : left;
      p += 32;
      continue;
    }
    // The 32 bytes are decoded as decodeSse would, without testing them for ASCII again.
    const uint8_t* next = left > 32 ? p + 32 : stop;
    while (p < next) p += decodeStep(p, static_cast<size_t>(stop - p), o);
  }
  return o;
}

// As encodeSse, with ASCII taken 32 units at a time.
VY_AVX2 size_t encodeAvx2(const uint16_t* u, size_t n, uint8_t*& out, size_t* malformed) {
  uint8_t* o = out;
  size_t i = 0;
  const __m256i high = _mm256_set1_epi16(static_cast<short>(0xFF80));
  while (i + 32 <= n) {
    __m256i a = load256(u + i), b = load256(u + i + 16);
    if (_mm256_testz_si256(_mm256_or_si256(a, b), high)) {
      // packus works per 128-bit lane: put the lanes back in order.
      __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), packed);
      o += 32;
      i += 32;
      continue;
    }
    // The 32 units are encoded eight at a time, without testing them for ASCII again.
    for (size_t next = i + 32; i < next && i + 8 <= n;) i = encodeEight(u, n, i, o, malformed);
  }
  while (i + 8 <= n) i = encodeEight(u, n, i, o, malformed);
  out = o;
  return i;
}

}  // namespace

Kernels sseKernels() { return {checkSse<false>, checkSse<true>, decodeSse, encodeSse}; }
Kernels avx2Kernels() { return {checkAvx2<false>, checkAvx2<true>, decodeAvx2, encodeAvx2}; }

bool avx2Available() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

bool avx512Available() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("avx512vbmi2");
}

}  // namespace vy::codec::x86

#endif  // VY_CODEC_X86
