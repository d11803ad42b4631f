// The vector building blocks of the codecs on x86 (SSE4.1, chosen at run time): UTF-8 validation
// of a 64-byte window, UTF-8 to UTF-16 for a 16-byte chunk, UTF-16 to UTF-8 for 8 units, and the
// shuffle tables they compact their lanes with. Every function here carries the target attribute,
// so the rest of the build stays portable; callers are compiled with the same attribute.
#ifndef VY_SIMD_X86_HPP
#define VY_SIMD_X86_HPP

#include "Vector.hpp"

#if VY_CODEC_X86

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#define VY_SIMD __attribute__((target("sse4.1,popcnt")))
#define VY_SIMD_INLINE __attribute__((target("sse4.1,popcnt"), always_inline)) inline

namespace vy::codec::x86 {

// ---- tables -------------------------------------------------------------------------------------

// For each 8-bit mask of 16-bit lanes: the byte shuffle that moves the chosen lanes to the front.
struct CompactUnits {
  uint8_t shuffle[256][16];
  constexpr CompactUnits() : shuffle() {
    for (int m = 0; m < 256; ++m) {
      int k = 0;
      for (int lane = 0; lane < 8; ++lane) {
        if ((m >> lane) & 1) {
          shuffle[m][k++] = static_cast<uint8_t>(2 * lane);
          shuffle[m][k++] = static_cast<uint8_t>(2 * lane + 1);
        }
      }
      for (; k < 16; ++k) shuffle[m][k] = 0x80;
    }
  }
};
inline constexpr CompactUnits kCompactUnits{};

// For each 8-bit mask of bytes: the shuffle that moves the chosen bytes to the front.
struct CompactBytes {
  uint8_t shuffle[256][16];
  constexpr CompactBytes() : shuffle() {
    for (int m = 0; m < 256; ++m) {
      int k = 0;
      for (int b = 0; b < 8; ++b) {
        if ((m >> b) & 1) shuffle[m][k++] = static_cast<uint8_t>(b);
      }
      for (; k < 16; ++k) shuffle[m][k] = 0x80;
    }
  }
};
inline constexpr CompactBytes kCompactBytes{};

// Four 32-bit lanes each holding a UTF-8 sequence of 1 to 3 bytes (first byte lowest): indexed by
// (lanes from 0x80) | (lanes from 0x800) << 4, the shuffle that packs the sequences and their
// total length.
struct PackSequences {
  uint8_t shuffle[256][16];
  uint8_t length[256];
  constexpr PackSequences() : shuffle(), length() {
    for (int m = 0; m < 256; ++m) {
      int k = 0;
      for (int lane = 0; lane < 4; ++lane) {
        int len = 1 + ((m >> lane) & 1) + ((m >> (lane + 4)) & 1);
        for (int b = 0; b < len; ++b) shuffle[m][k++] = static_cast<uint8_t>(4 * lane + b);
      }
      length[m] = static_cast<uint8_t>(k);
      for (; k < 16; ++k) shuffle[m][k] = 0x80;
    }
  }
};
inline constexpr PackSequences kPackSequences{};

VY_SIMD_INLINE __m128i load(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
VY_SIMD_INLINE void store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
VY_SIMD_INLINE unsigned highBits(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }
// Bytes from `floor` up (unsigned).
VY_SIMD_INLINE __m128i atLeast(__m128i v, uint8_t floor) {
  __m128i f = _mm_set1_epi8(static_cast<char>(floor));
  return _mm_cmpeq_epi8(_mm_max_epu8(v, f), v);
}

// ---- UTF-8 validation ---------------------------------------------------------------------------

// Error classes of a byte pair (previous byte, this byte), looked up by nibble.
enum : uint8_t {
  kTooShort = 1 << 0,   // a lead byte not followed by a continuation byte
  kTooLong = 1 << 1,    // a continuation byte after an ASCII byte
  kOverlong3 = 1 << 2,  // E0 80..9F
  kTooLarge = 1 << 3,   // F4 90..BF, F5..FF with a continuation byte
  kSurrogate = 1 << 4,  // ED A0..BF
  kOverlong2 = 1 << 5,  // C0, C1 with a continuation byte
  kTooLarge1000 = 1 << 6,
  kOverlong4 = 1 << 6,  // F0 80..8F
  kTwoConts = 1 << 7,   // two continuation bytes, fine only inside a 3- or 4-byte sequence
  kCarry = kTooShort | kTooLong | kTwoConts,
};

// The window's checker: standard UTF-8, or modified UTF-8 as the JVM writes it (encoded
// surrogates allowed, bytes from F0 never).
template <bool kModified>
struct Utf8Check {
  __m128i error = _mm_setzero_si128();
  __m128i prev = _mm_setzero_si128();  // the window starts a sequence

  VY_SIMD_INLINE static __m128i firstHigh() {
    return _mm_setr_epi8(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                         kTooLong, kTwoConts, kTwoConts, kTwoConts, kTwoConts,
                         kTooShort | kOverlong2, kTooShort,
                         static_cast<char>(kTooShort | kOverlong3 | (kModified ? 0 : kSurrogate)),
                         kTooShort | kTooLarge | kTooLarge1000 | kOverlong4);
  }
  VY_SIMD_INLINE static __m128i firstLow() {
    return _mm_setr_epi8(static_cast<char>(kCarry | kOverlong3 | kOverlong2 | kOverlong4),
                         static_cast<char>(kCarry | kOverlong2), static_cast<char>(kCarry),
                         static_cast<char>(kCarry), static_cast<char>(kCarry | kTooLarge),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000 | kSurrogate),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000),
                         static_cast<char>(kCarry | kTooLarge | kTooLarge1000));
  }
  VY_SIMD_INLINE static __m128i secondHigh() {
    return _mm_setr_epi8(
        kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
        static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 |
                          kOverlong4),
        static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge),
        static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge),
        static_cast<char>(kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge), kTooShort,
        kTooShort, kTooShort, kTooShort);
  }

  VY_SIMD_INLINE void add(__m128i in) {
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i firstHigh = Utf8Check::firstHigh();
    const __m128i firstLow = Utf8Check::firstLow();
    const __m128i secondHigh = Utf8Check::secondHigh();
    __m128i prev1 = _mm_alignr_epi8(in, prev, 15);
    __m128i special = _mm_and_si128(
        _mm_and_si128(_mm_shuffle_epi8(firstHigh, _mm_and_si128(_mm_srli_epi16(prev1, 4), low)),
                      _mm_shuffle_epi8(firstLow, _mm_and_si128(prev1, low))),
        _mm_shuffle_epi8(secondHigh, _mm_and_si128(_mm_srli_epi16(in, 4), low)));
    __m128i prev2 = _mm_alignr_epi8(in, prev, 14);
    __m128i prev3 = _mm_alignr_epi8(in, prev, 13);
    __m128i third = _mm_subs_epu8(prev2, _mm_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    __m128i fourth = _mm_subs_epu8(prev3, _mm_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    __m128i must23 = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(-128));
    error = _mm_or_si128(error, _mm_xor_si128(must23, special));
    if (kModified) error = _mm_or_si128(error, atLeast(in, 0xF0));
    prev = in;
  }
  VY_SIMD_INLINE bool ok() const { return _mm_testz_si128(error, error) != 0; }
};

// Where the last complete sequence of the 64 bytes at p ends: before a lead byte in the last
// three bytes whose sequence would run past them.
VY_SIMD_INLINE size_t completeEnd(const uint8_t* p) {
  if (p[63] >= 0xC0) return 63;
  if (p[62] >= 0xE0) return 62;
  if (p[61] >= 0xF0) return 61;
  return 64;
}

// ---- UTF-8 to UTF-16 ----------------------------------------------------------------------------

// The 16-bit values of validated UTF-8 sequences (1 to 3 bytes) as if one started at each of the
// 8 bytes b0 (b1, b2: the bytes after each), widened to 16 bits.
VY_SIMD_INLINE __m128i sequenceValues(__m128i b0, __m128i b1, __m128i b2) {
  __m128i c1 = _mm_and_si128(b1, _mm_set1_epi16(0x3F));
  __m128i c2 = _mm_and_si128(b2, _mm_set1_epi16(0x3F));
  __m128i two = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(b0, _mm_set1_epi16(0x1F)), 6), c1);
  __m128i three = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(b0, 12), _mm_slli_epi16(c1, 6)), c2);
  __m128i r = _mm_blendv_epi8(b0, two, _mm_cmpgt_epi16(b0, _mm_set1_epi16(0xBF)));
  return _mm_blendv_epi8(r, three, _mm_cmpgt_epi16(b0, _mm_set1_epi16(0xDF)));
}

// The values of sequences starting at each of the 16 bytes at p (p[16], p[17] readable): lanes
// 0..7 in *lo, 8..15 in *hi. Only lanes of lead bytes below F0 mean anything.
VY_SIMD_INLINE void decodeLanes(const uint8_t* p, __m128i* lo, __m128i* hi) {
  __m128i v0 = load(p), v1 = load(p + 1), v2 = load(p + 2);
  const __m128i zero = _mm_setzero_si128();
  *lo = sequenceValues(_mm_unpacklo_epi8(v0, zero), _mm_unpacklo_epi8(v1, zero),
                       _mm_unpacklo_epi8(v2, zero));
  *hi = sequenceValues(_mm_unpackhi_epi8(v0, zero), _mm_unpackhi_epi8(v1, zero),
                       _mm_unpackhi_epi8(v2, zero));
}

// Stores the lanes of r chosen by the 8-bit mask, packed; writes 16 bytes whatever their number.
VY_SIMD_INLINE uint16_t* compactUnits(__m128i r, unsigned mask, uint16_t* o) {
  store(o, _mm_shuffle_epi8(r, load(kCompactUnits.shuffle[mask])));
  return o + _mm_popcnt_u32(mask);
}
VY_SIMD_INLINE uint8_t* compactBytes(__m128i r, unsigned mask, uint8_t* o) {
  store(o, _mm_shuffle_epi8(r, load(kCompactBytes.shuffle[mask])));
  return o + _mm_popcnt_u32(mask);
}

// The characters of validated UTF-8 (1- to 3-byte sequences) whose lead bytes are at the set
// bits of `leads` in the 16 bytes at p; p[16] and p[17] must be readable. Writes up to 8 units
// past the end of what it produces.
VY_SIMD_INLINE uint16_t* decodeChunk(const uint8_t* p, unsigned leads, uint16_t* o) {
  __m128i lo, hi;
  decodeLanes(p, &lo, &hi);
  o = compactUnits(lo, leads & 0xFF, o);
  return compactUnits(hi, (leads >> 8) & 0xFF, o);
}

// Bytes that start a character (any but 80..BF).
VY_SIMD_INLINE unsigned leadBits(__m128i v) {
  return highBits(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(0xBF))));
}

// ---- UTF-16 to UTF-8 ----------------------------------------------------------------------------

// Four 32-bit lanes of code points below U+10000, none a surrogate, as UTF-8; `index` as in
// kPackSequences. Writes 16 bytes whatever the length.
VY_SIMD_INLINE uint8_t* encodeQuad(__m128i c, unsigned index, uint8_t* o) {
  // One, two and three byte forms of each lane, first byte lowest.
  __m128i low6 = _mm_and_si128(c, _mm_set1_epi32(0x3F));
  __m128i mid6 = _mm_and_si128(_mm_srli_epi32(c, 6), _mm_set1_epi32(0x3F));
  __m128i two = _mm_or_si128(_mm_or_si128(_mm_srli_epi32(c, 6), _mm_slli_epi32(low6, 8)),
                             _mm_set1_epi32(0x80C0));
  __m128i three = _mm_or_si128(_mm_or_si128(_mm_srli_epi32(c, 12), _mm_slli_epi32(mid6, 8)),
                               _mm_or_si128(_mm_slli_epi32(low6, 16), _mm_set1_epi32(0x8080E0)));
  __m128i r = _mm_blendv_epi8(c, two, _mm_cmpgt_epi32(c, _mm_set1_epi32(0x7F)));
  r = _mm_blendv_epi8(r, three, _mm_cmpgt_epi32(c, _mm_set1_epi32(0x7FF)));
  store(o, _mm_shuffle_epi8(r, load(kPackSequences.shuffle[index])));
  return o + kPackSequences.length[index];
}

// Eight units, none a surrogate, as UTF-8 (U+0000 as one zero byte). Writes up to 16 bytes past
// the end of what it produces.
VY_SIMD_INLINE uint8_t* encodeUnits(__m128i u, uint8_t* o) {
  __m128i from80 = _mm_cmpgt_epi16(_mm_min_epu16(u, _mm_set1_epi16(0x80)), _mm_set1_epi16(0x7F));
  __m128i from800 = _mm_cmpgt_epi16(_mm_min_epu16(u, _mm_set1_epi16(0x800)), _mm_set1_epi16(0x7FF));
  if (_mm_testz_si128(from80, from80)) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(u, u));
    return o + 8;
  }
  unsigned m80 = highBits(_mm_packs_epi16(from80, from80)) & 0xFF;
  unsigned m800 = highBits(_mm_packs_epi16(from800, from800)) & 0xFF;
  const __m128i zero = _mm_setzero_si128();
  o = encodeQuad(_mm_unpacklo_epi16(u, zero), (m80 & 0xF) | ((m800 & 0xF) << 4), o);
  return encodeQuad(_mm_unpackhi_epi16(u, zero), (m80 >> 4) | ((m800 >> 4) << 4), o);
}

VY_SIMD_INLINE bool anySurrogate(__m128i u) {
  __m128i s = _mm_cmpeq_epi16(_mm_and_si128(u, _mm_set1_epi16(static_cast<short>(0xF800))),
                              _mm_set1_epi16(static_cast<short>(0xD800)));
  return !_mm_testz_si128(s, s);
}

// ---- the kernels chosen for the machine
// ----------------------------------------------------------

// Whole-window work, done with the widest vectors the machine has (SSE4.1 or AVX2); called once
// per 64-byte window.
struct Kernels {
  bool (*checkUtf8)(const uint8_t* data);      // the 64 bytes are well-formed UTF-8 from a start
  bool (*checkModified)(const uint8_t* data);  // the same for modified UTF-8 (see Utf8Check)
  // The characters of validated UTF-8 in data[0, end) as UTF-16; writes up to 32 units past them.
  uint16_t* (*decodeUtf8)(const uint8_t* data, size_t end, uint16_t* o);
  // UTF-16 to UTF-8 from the start of u while whole blocks remain; returns where it stopped.
  size_t (*encodeUtf8)(const uint16_t* u, size_t n, uint8_t*& o, size_t* malformed);
};
extern Kernels gKernels;
Kernels sseKernels();
Kernels avx2Kernels();
bool avx2Available();
bool avx512Available();

// ---- windows ------------------------------------------------------------------------------------

// Bytes a window may read from its start: 64 of its own, the bytes after its last sequences, and
// the loads of its last chunk (32 bytes, two bytes on), or a 64-byte copy from its last pair.
constexpr size_t kReadable = 144;

// Copies 64 bytes; callers advance by the part they meant, later stores overwriting the rest.
VY_SIMD_INLINE void copy64(const uint8_t* from, uint8_t* o) {
  __m128i a = load(from), b = load(from + 16), c = load(from + 32), d = load(from + 48);
  store(o, a);
  store(o + 16, b);
  store(o + 32, c);
  store(o + 48, d);
}

VY_SIMD_INLINE __m128i orOf4(const uint8_t* p) {
  return _mm_or_si128(_mm_or_si128(load(p), load(p + 16)),
                      _mm_or_si128(load(p + 32), load(p + 48)));
}

// Runs `w.step(data, i, o)` over the input from i to n, 64-byte window by window: `data` is where
// the window's bytes are (the input itself while kReadable bytes remain, then a copy of the tail
// padded with spaces), i its offset in the input, o the output pointer, which step advances; step
// returns where the next window starts, past n only over the padding. Returns the final offset.
// The output pointer is held in a local for the whole run, not in `w`: vector stores may alias
// any member, and would send it to memory and back in every window.
template <typename Window>
VY_SIMD size_t forWindows(const uint8_t* s, size_t n, size_t i, Window& w) {
  auto o = w.o;
  while (i + kReadable <= n) i = w.step(s + i, i, o);
  if (i < n) {
    alignas(16) uint8_t pad[2 * kReadable];
    std::memcpy(pad, s + i, n - i);
    std::memset(pad + (n - i), ' ', kReadable);
    size_t base = i;
    while (i < n) i = w.step(pad + (i - base), i, o);
  }
  w.o = o;
  return i;
}

}  // namespace vy::codec::x86

#endif  // VY_CODEC_X86
#endif  // VY_SIMD_X86_HPP
