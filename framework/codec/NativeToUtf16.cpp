// Native bytes to UTF-16 units, as String(byte[], charset) decodes them.
#include "Avx512Codecs.hpp"
#include "Codec.hpp"
#include "ScalarCodec.hpp"
#include "SimdX86.hpp"
#include "Vector.hpp"

namespace vy::codec {
namespace {

// Below this length UTF-8 is not worth a window.
constexpr size_t kShort = 64;

#if VY_CODEC_X86
namespace x = x86;

// ISO-8859-1 widens; US-ASCII widens with U+FFFD for every byte above 0x7F.
VY_SIMD size_t widenVector(bool ascii, const uint8_t* s, size_t n, uint16_t* out,
                           size_t* malformed) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i replacement = _mm_set1_epi16(static_cast<short>(scalar::kReplacement));
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i v = x::load(s + i);
    __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    if (ascii) {
      __m128i high = _mm_cmplt_epi8(v, zero);
      if (unsigned bits = x::highBits(high)) {
        scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctz(bits)));
        lo = _mm_blendv_epi8(lo, replacement, _mm_unpacklo_epi8(high, high));
        hi = _mm_blendv_epi8(hi, replacement, _mm_unpackhi_epi8(high, high));
      }
    }
    x::store(out + i, lo);
    x::store(out + i + 8, hi);
  }
  return i;
}

// One window of UTF-8: validated whole and decoded chunk by chunk, or decoded by the scalar code.
struct Utf8Window {
  const uint8_t* s;
  size_t n;
  uint16_t* o;
  size_t malformed;

  VY_SIMD_INLINE size_t step(const uint8_t* data, size_t i, uint16_t*& o) {
    const __m128i zero = _mm_setzero_si128();
    if (x::highBits(x::orOf4(data)) == 0) {
      for (int k = 0; k < 64; k += 16) {
        __m128i v = x::load(data + k);
        x::store(o + k, _mm_unpacklo_epi8(v, zero));
        x::store(o + k + 8, _mm_unpackhi_epi8(v, zero));
      }
      o += 64;
      return i + 64;
    }
    if (!x::gKernels.checkUtf8(data)) {
      scalar::UnitsOut sink{o};
      size_t next = scalar::decodeUtf8(s, n, i, i + 64 < n ? i + 64 : n, sink, &malformed);
      o = sink.p;
      return next;
    }
    size_t end = x::completeEnd(data);
    o = x::gKernels.decodeUtf8(data, end, o);
    return i + end;
  }
};
#endif

}  // namespace

Converted nativeToUtf16(Charset cs, const uint8_t* s, size_t n, uint16_t* out) {
  size_t malformed = n;
  size_t i = 0;
#if VY_CODEC_X86
  if (cs != Charset::kUtf8 && avx512On()) {
    return x86::avx512::eightBitToUtf16(cs == Charset::kAscii, s, n, out);
  }
#endif
  switch (cs) {
    case Charset::kLatin1:
#if VY_CODEC_X86
      if (vectorOn()) i = widenVector(false, s, n, out, &malformed);
#endif
      for (; i < n; ++i) out[i] = s[i];
      return {n, n};
    case Charset::kAscii:
#if VY_CODEC_X86
      if (vectorOn()) i = widenVector(true, s, n, out, &malformed);
#endif
      for (; i < n; ++i) {
        if (s[i] < 0x80) {
          out[i] = s[i];
        } else {
          out[i] = scalar::kReplacement;
          scalar::noteMalformed(&malformed, i);
        }
      }
      return {n, malformed};
    case Charset::kUtf8:
      break;
  }
#if VY_CODEC_X86
  if (avx512On()) return x86::avx512::utf8ToUtf16(s, n, out);
  // Short texts: a plain ASCII one widens, any other is decoded by the scalar code.
  if (vectorOn() && n < kShort && isAscii(s, n)) {
    i = widenVector(false, s, n, out, &malformed);
    for (; i < n; ++i) out[i] = s[i];
    return {n, n};
  }
  if (vectorOn() && n >= kShort) {
    Utf8Window w{s, n, out, malformed};
    size_t end = x86::forWindows(s, n, 0, w);
    return {static_cast<size_t>(w.o - out) - (end - n), w.malformed};
  }
#endif
  scalar::UnitsOut sink{out};
  scalar::decodeUtf8(s, n, i, n, sink, &malformed);
  return {static_cast<size_t>(sink.p - out), malformed};
}

}  // namespace vy::codec
