// The JVM's modified UTF-8, read as NewStringUTF reads it, to native bytes as String.getBytes
// writes them.
#include "Avx512Codecs.hpp"
#include "Codec.hpp"
#include "ScalarCodec.hpp"
#include "SimdX86.hpp"
#include "Vector.hpp"

namespace vy::codec {
namespace {

// Below this length modified UTF-8 is not worth a window.
constexpr size_t kShort = 64;

#if VY_CODEC_X86
namespace x = x86;

// The encoded surrogates (ED A0..BF) among the 64 bytes at data.
VY_SIMD_INLINE uint64_t surrogateLeads(const uint8_t* data) {
  uint64_t bits = 0;
  for (int k = 0; k < 64; k += 16) {
    __m128i at = _mm_cmpeq_epi8(x::load(data + k), _mm_set1_epi8(static_cast<char>(0xED)));
    __m128i next = x::atLeast(x::load(data + k + 1), 0xA0);
    bits |= static_cast<uint64_t>(x::highBits(_mm_and_si128(at, next))) << k;
  }
  return bits;
}

bool isLowSurrogateAt(const uint8_t* q) {
  return q[0] == 0xED && q[1] >= 0xB0 && q[1] <= 0xBF && scalar::isContinuation(q[2]);
}

// To UTF-8: a window of well-formed modified UTF-8 is its own UTF-8 but for the surrogates: a
// pair becomes one 4-byte sequence, a lone one "?".
struct Utf8Window {
  const uint8_t* s;
  size_t n;
  uint8_t* o;
  size_t malformed;

  VY_SIMD_INLINE size_t step(const uint8_t* data, size_t i, uint8_t*& o) {
    if (x::highBits(x::orOf4(data)) == 0) {
      x::copy64(data, o);
      o += 64;
      return i + 64;
    }
    if (!x::gKernels.checkModified(data)) {
      scalar::Utf8Out sink{o};
      size_t next = scalar::readModified(s, n, i, i + 64 < n ? i + 64 : n, sink, &malformed);
      o = sink.p;
      return next;
    }
    size_t end = x::completeEnd(data);
    uint64_t surrogates = surrogateLeads(data) & (end == 64 ? ~0ULL : (1ULL << end) - 1);
    size_t from = 0;
    while (surrogates != 0) {
      size_t f = static_cast<size_t>(__builtin_ctzll(surrogates));
      surrogates &= surrogates - 1;
      if (f < from) continue;  // the low half of a pair already written
      x::copy64(data + from, o);
      o += f - from;
      const uint8_t* q = data + f;
      if (q[1] < 0xB0 && isLowSurrogateAt(q + 3)) {
        uint32_t cp = 0x10000 + ((((q[1] & 0x0Fu) << 6) | (q[2] & 0x3Fu)) << 10) +
                      (((q[4] & 0x0Fu) << 6) | (q[5] & 0x3Fu));
        o[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
        o[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
        o[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        o[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        o += 4;
        from = f + 6;
      } else {
        *o++ = '?';
        scalar::noteMalformed(&malformed, i + f);
        from = f + 3;
      }
    }
    if (from < end) {
      x::copy64(data + from, o);
      o += end - from;
    }
    return i + (from > end ? from : end);
  }
};

// To ISO-8859-1 or US-ASCII: a well-formed window without surrogates is decoded to units chunk
// by chunk, each unit the target cannot hold becoming "?".
struct EightBitWindow {
  const uint8_t* s;
  size_t n;
  uint8_t* o;
  size_t malformed;
  uint16_t limit;

  VY_SIMD_INLINE uint8_t* narrow(__m128i lo, __m128i hi, unsigned leads, size_t at, uint8_t* o) {
    __m128i top = _mm_set1_epi16(static_cast<short>(limit - 1));
    __m128i keepLo = _mm_cmpeq_epi16(_mm_min_epu16(lo, top), lo);
    __m128i keepHi = _mm_cmpeq_epi16(_mm_min_epu16(hi, top), hi);
    unsigned lost = ~x::highBits(_mm_packs_epi16(keepLo, keepHi)) & leads;
    if (lost != 0) {
      scalar::noteMalformed(&malformed, at + static_cast<size_t>(__builtin_ctz(lost)));
      __m128i mark = _mm_set1_epi16('?');
      lo = _mm_blendv_epi8(mark, lo, keepLo);
      hi = _mm_blendv_epi8(mark, hi, keepHi);
    }
    __m128i bytes = _mm_packus_epi16(lo, hi);
    uint8_t* p = x::compactBytes(bytes, leads & 0xFF, o);
    return x::compactBytes(_mm_srli_si128(bytes, 8), (leads >> 8) & 0xFF, p);
  }

  VY_SIMD_INLINE size_t step(const uint8_t* data, size_t i, uint8_t*& o) {
    if (x::highBits(x::orOf4(data)) == 0) {
      x::copy64(data, o);
      o += 64;
      return i + 64;
    }
    if (!x::gKernels.checkModified(data) || surrogateLeads(data) != 0) {
      scalar::EightBitOut sink{o, limit};
      size_t next = scalar::readModified(s, n, i, i + 64 < n ? i + 64 : n, sink, &malformed);
      o = sink.p;
      return next;
    }
    size_t end = x::completeEnd(data);
    for (size_t k = 0; k < end; k += 16) {
      size_t left = end - k;
      unsigned within = left >= 16 ? 0xFFFF : (1u << left) - 1;
      __m128i v = x::load(data + k);
      if (x::highBits(v) == 0) {
        x::store(o, v);
        o += left >= 16 ? 16 : left;
        continue;
      }
      __m128i lo, hi;
      x::decodeLanes(data + k, &lo, &hi);
      o = narrow(lo, hi, x::leadBits(v) & within, i + k, o);
    }
    return i + end;
  }
};
#endif

template <typename Sink>
Converted readAll(const uint8_t* s, size_t n, uint8_t* out, Sink& sink) {
  size_t malformed = n;
  scalar::readModified(s, n, 0, n, sink, &malformed);
  return {static_cast<size_t>(sink.p - out), malformed};
}

}  // namespace

// A character read from one byte above 0x7F (a byte that starts no sequence) may take two bytes
// in UTF-8; every other character takes no more bytes than it was read from.
size_t nativeCapacityFromModified(Charset cs, const uint8_t* s, size_t n) {
  if (cs != Charset::kUtf8 || n <= kUncountedUpTo) return nativeBoundFromModified(cs, n);
  return nativeCapacityFromModifiedOf(cs, n, countHigh(s, n));
}

Converted modifiedUtf8ToNative(Charset cs, const uint8_t* s, size_t n, uint8_t* out) {
#if VY_CODEC_X86
  if (cs == Charset::kUtf8 && avx512On()) return x86::avx512::modifiedToUtf8(s, n, out);
  if (vectorOn() && n >= kShort) {
    size_t end;
    size_t malformed;
    uint8_t* o;
    if (cs == Charset::kUtf8) {
      Utf8Window w{s, n, out, n};
      end = x86::forWindows(s, n, 0, w);
      o = w.o;
      malformed = w.malformed;
    } else {
      EightBitWindow w{s, n, out, n, static_cast<uint16_t>(cs == Charset::kLatin1 ? 0x100 : 0x80)};
      end = x86::forWindows(s, n, 0, w);
      o = w.o;
      malformed = w.malformed;
    }
    return {static_cast<size_t>(o - out) - (end - n), malformed};
  }
#endif
  if (cs == Charset::kUtf8) {
    scalar::Utf8Out sink{out};
    return readAll(s, n, out, sink);
  }
  scalar::EightBitOut sink{out, cs == Charset::kLatin1 ? 0x100u : 0x80u};
  return readAll(s, n, out, sink);
}

}  // namespace vy::codec
