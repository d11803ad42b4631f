// Picks the vector code for this machine once, when the library loads, and the plain vector
// helpers every x86-64 machine has (SSE2).
#include "Avx512Codecs.hpp"
#include "Codec.hpp"
#include "SimdX86.hpp"
#include "Vector.hpp"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vy::codec {
namespace {

VectorLevel detect() {
#if VY_CODEC_X86
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("sse4.1") || !__builtin_cpu_supports("popcnt")) {
    return VectorLevel::kNone;
  }
  if (x86::avx512Available()) return VectorLevel::kAvx512;
  return x86::avx2Available() ? VectorLevel::kAvx2 : VectorLevel::kSse41;
#else
  return VectorLevel::kNone;
#endif
}

const VectorLevel kBest = detect();

}  // namespace

bool gVectorPaths = kBest != VectorLevel::kNone;
bool gAvx512Paths = kBest == VectorLevel::kAvx512;

#if VY_CODEC_X86
x86::Kernels x86::gKernels = kBest >= VectorLevel::kAvx2 ? x86::avx2Kernels() : x86::sseKernels();
#endif

VectorLevel bestVectorLevel() { return kBest; }

void useVectorLevel(VectorLevel level) {
  if (level > kBest) level = kBest;
  gVectorPaths = level != VectorLevel::kNone;
  gAvx512Paths = level == VectorLevel::kAvx512;
#if VY_CODEC_X86
  x86::gKernels = level >= VectorLevel::kAvx2 ? x86::avx2Kernels() : x86::sseKernels();
#endif
}

bool isAscii(const uint8_t* s, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  __m128i acc = _mm_setzero_si128();
  for (; i + 64 <= n; i += 64) {
    auto p = reinterpret_cast<const __m128i*>(s + i);
    acc = _mm_or_si128(acc,
                       _mm_or_si128(_mm_or_si128(_mm_loadu_si128(p), _mm_loadu_si128(p + 1)),
                                    _mm_or_si128(_mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3))));
    if (_mm_movemask_epi8(acc) != 0) return false;
  }
  for (; i + 16 <= n; i += 16) {
    acc = _mm_or_si128(acc, _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
  }
  if (_mm_movemask_epi8(acc) != 0) return false;
#endif
  uint8_t rest = 0;
  for (; i < n; ++i) rest |= s[i];
  return rest < 0x80;
}

size_t measure(const char* s, size_t* high) {
#if VY_CODEC_X86
  if (avx512On()) return x86::avx512::measure(s, high);
#endif
  size_t n = std::strlen(s);
  *high = countHigh(reinterpret_cast<const uint8_t*>(s), n);
  return n;
}

size_t countHigh(const uint8_t* s, size_t n, bool withNul) {
#if VY_CODEC_X86
  if (avx512On()) return x86::avx512::countHigh(s, n, withNul);
#endif
  size_t high = 0, i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= n) {
    // Up to 255 blocks per byte counter, then the counters are summed.
    __m128i counts = zero;
    size_t end = i + 16 * 255 < n ? i + 16 * 255 : n;
    for (; i + 16 <= end; i += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      __m128i hit = _mm_cmplt_epi8(v, zero);
      if (withNul) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, zero));
      counts = _mm_sub_epi8(counts, hit);
    }
    __m128i sums = _mm_sad_epu8(counts, zero);
    high += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
            static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
#endif
  for (; i < n; ++i) high += (s[i] >> 7) | (withNul && s[i] == 0);
  return high;
}

}  // namespace vy::codec
