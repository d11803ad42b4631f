// The AVX-512 level's whole conversions (see Codec.hpp for what each does and how its output is
// sized); called only when that level is in use.
#ifndef VY_AVX512_CODECS_HPP
#define VY_AVX512_CODECS_HPP

#include "Codec.hpp"
#include "SimdX86.hpp"

#if VY_CODEC_X86

#define VY_AVX512 \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2")))
#define VY_AVX512_INLINE                                                                     \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,popcnt,bmi,bmi2"), \
                 always_inline)) inline

namespace vy::codec::x86::avx512 {

// The first `span` bytes at p (at most 64) under `mask`, the rest zero, read no wider than they
// need: a load overlapping a store still on its way to memory waits for it (masked-off bytes
// included), and past a short text lie the allocator's and the caller's latest stores.
VY_AVX512_INLINE __m512i loadShort(const void* p, uint64_t mask, size_t span) {
  if (span <= 16)
    return _mm512_zextsi128_si512(_mm_maskz_loadu_epi8(static_cast<__mmask16>(mask), p));
  if (span <= 32) {
    return _mm512_zextsi256_si512(_mm256_maskz_loadu_epi8(static_cast<__mmask32>(mask), p));
  }
  return _mm512_maskz_loadu_epi8(mask, p);
}

// The same for up to 32 16-bit units (`count` of them).
VY_AVX512_INLINE __m512i loadShortUnits(const void* p, uint32_t mask, size_t count) {
  if (count <= 8)
    return _mm512_zextsi128_si512(_mm_maskz_loadu_epi16(static_cast<__mmask8>(mask), p));
  if (count <= 16) {
    return _mm512_zextsi256_si512(_mm256_maskz_loadu_epi16(static_cast<__mmask16>(mask), p));
  }
  return _mm512_maskz_loadu_epi16(mask, p);
}

// A constant made once before a loop and kept in a register: opaque to the compiler, which
// would otherwise broadcast it again in every iteration.
VY_AVX512_INLINE __m512i kept(__m512i v) {
  __asm__("" : "+v"(v));
  return v;
}

Converted utf8ToUtf16(const uint8_t* s, size_t n, uint16_t* out);
Converted utf8ToModified(const uint8_t* s, size_t n, uint8_t* out);
Converted modifiedToUtf8(const uint8_t* s, size_t n, uint8_t* out);
// In Avx512Utf16.cpp: one pass into an output sized by nativeCapacityFromUtf16 or
// nativeBoundFromUtf16.
Converted utf16ToUtf8(const uint16_t* u, size_t n, uint8_t* out);
// ISO-8859-1 (or US-ASCII when `ascii`) to UTF-16, and UTF-16 to them (limit 0x100 or 0x80).
Converted eightBitToUtf16(bool ascii, const uint8_t* s, size_t n, uint16_t* out);
Converted utf16ToEightBit(const uint16_t* u, size_t n, uint16_t limit, uint8_t* out);
size_t countHigh(const uint8_t* s, size_t n, bool withNul);
size_t measure(const char* s, size_t* high);
// Units from 0x80 plus units from 0x800 (the bytes UTF-8 adds to one per unit).
size_t utf8Extra(const uint16_t* u, size_t n);

}  // namespace vy::codec::x86::avx512

#endif  // VY_CODEC_X86
#endif  // VY_AVX512_CODECS_HPP
