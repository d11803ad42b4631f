// Native bytes to the JVM's modified UTF-8, as GetStringUTFChars gives a String(byte[], charset).
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

// One window of UTF-8: proven well formed and free of NULs it is copied, each 4-byte sequence
// turned into its two 3-byte surrogates; otherwise the scalar code decodes it.
struct Utf8Window {
  const uint8_t* s;
  size_t n;
  uint8_t* o;
  size_t malformed;

  VY_SIMD_INLINE size_t step(const uint8_t* data, size_t i, uint8_t*& o) {
    const __m128i zero = _mm_setzero_si128();
    __m128i v[4];
    __m128i any = zero, nul = zero;
    for (int k = 0; k < 4; ++k) {
      v[k] = x::load(data + 16 * k);
      any = _mm_or_si128(any, v[k]);
      nul = _mm_or_si128(nul, _mm_cmpeq_epi8(v[k], zero));
    }
    bool clean = _mm_testz_si128(nul, nul) != 0;
    if (clean && x::highBits(any) == 0) {
      for (int k = 0; k < 4; ++k) x::store(o + 16 * k, v[k]);
      o += 64;
      return i + 64;
    }
    if (!clean || !x::gKernels.checkUtf8(data)) {
      scalar::ModifiedUtf8Out sink{o};
      size_t next = scalar::decodeUtf8(s, n, i, i + 64 < n ? i + 64 : n, sink, &malformed);
      o = sink.p;
      return next;
    }
    uint64_t four = 0;
    for (int k = 0; k < 4; ++k) {
      four |= static_cast<uint64_t>(x::highBits(x::atLeast(v[k], 0xF0))) << (16 * k);
    }
    size_t end = x::completeEnd(data);
    four &= end == 64 ? ~0ULL : (1ULL << end) - 1;
    if (four == 0) {
      for (int k = 0; k < 4; ++k) x::store(o + 16 * k, v[k]);
      o += end;
      return i + end;
    }
    size_t from = 0;
    while (four != 0) {
      size_t f = static_cast<size_t>(__builtin_ctzll(four));
      four &= four - 1;
      x::copy64(data + from, o);
      o += f - from;
      const uint8_t* q = data + f;
      uint32_t cp =
          ((q[0] & 0x07u) << 18) | ((q[1] & 0x3Fu) << 12) | ((q[2] & 0x3Fu) << 6) | (q[3] & 0x3Fu);
      uint32_t high = 0xD800 + ((cp - 0x10000) >> 10), low = 0xDC00 + ((cp - 0x10000) & 0x3FF);
      o[0] = static_cast<uint8_t>(0xE0 | (high >> 12));
      o[1] = static_cast<uint8_t>(0x80 | ((high >> 6) & 0x3F));
      o[2] = static_cast<uint8_t>(0x80 | (high & 0x3F));
      o[3] = static_cast<uint8_t>(0xE0 | (low >> 12));
      o[4] = static_cast<uint8_t>(0x80 | ((low >> 6) & 0x3F));
      o[5] = static_cast<uint8_t>(0x80 | (low & 0x3F));
      o += 6;
      from = f + 4;
    }
    x::copy64(data + from, o);
    o += end - from;
    return i + end;
  }
};

// ISO-8859-1 or US-ASCII, eight bytes at a time: copied when plain ASCII, encoded as units
// otherwise (a byte above 0x7F is U+0080..U+00FF, or U+FFFD in US-ASCII). Blocks with a NUL go
// to the scalar code (U+0000 takes two bytes).
VY_SIMD size_t eightBitVector(bool ascii, const uint8_t* s, size_t n, uint8_t*& out,
                              size_t* malformed) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i replacement = _mm_set1_epi16(static_cast<short>(scalar::kReplacement));
  uint8_t* o = out;
  size_t i = 0;
  while (i + 16 <= n) {
    __m128i v = x::load(s + i);
    __m128i nul = _mm_cmpeq_epi8(v, zero);
    if (!_mm_testz_si128(nul, nul)) break;
    __m128i high = _mm_cmplt_epi8(v, zero);
    unsigned bits = x::highBits(high);
    if (bits == 0) {
      x::store(o, v);
      o += 16;
      i += 16;
      continue;
    }
    __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    if (ascii) {
      scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctz(bits)));
      lo = _mm_blendv_epi8(lo, replacement, _mm_unpacklo_epi8(high, high));
      hi = _mm_blendv_epi8(hi, replacement, _mm_unpackhi_epi8(high, high));
    }
    o = x::encodeUnits(lo, o);
    o = x::encodeUnits(hi, o);
    i += 16;
  }
  out = o;
  return i;
}
#endif

}  // namespace

size_t modifiedUtf8Capacity(const uint8_t* s, size_t n) {
  if (n <= kUncountedUpTo) return modifiedUtf8Bound(n);
  return modifiedUtf8CapacityOf(n, countHigh(s, n, true));
}

Converted nativeToModifiedUtf8(Charset cs, const uint8_t* s, size_t n, uint8_t* out) {
  size_t malformed = n;
  size_t i = 0;
  uint8_t* o = out;
#if VY_CODEC_X86
  if (vectorOn()) {
    if (cs == Charset::kUtf8 && avx512On()) return x86::avx512::utf8ToModified(s, n, out);
    if (cs == Charset::kUtf8 && n >= kShort) {
      Utf8Window w{s, n, out, malformed};
      size_t end = x86::forWindows(s, n, 0, w);
      return {static_cast<size_t>(w.o - out) - (end - n), w.malformed};
    }
    if (cs != Charset::kUtf8) i = eightBitVector(cs == Charset::kAscii, s, n, o, &malformed);
  }
#endif
  scalar::ModifiedUtf8Out sink{o};
  switch (cs) {
    case Charset::kLatin1:
      for (; i < n; ++i) sink.put(s[i]);
      break;
    case Charset::kAscii:
      for (; i < n; ++i) {
        if (s[i] < 0x80) {
          sink.put(s[i]);
        } else {
          sink.put(scalar::kReplacement);
          scalar::noteMalformed(&malformed, i);
        }
      }
      break;
    case Charset::kUtf8:
      scalar::decodeUtf8(s, n, i, n, sink, &malformed);
      break;
  }
  return {static_cast<size_t>(sink.p - out), malformed};
}

}  // namespace vy::codec
