// UTF-16 to UTF-8 at the AVX-512 level, in one pass over blocks of 32 units at a fixed stride,
// after the text's ASCII opening, which is narrowed 64 units at a time.
//
// Each unit gives up to three bytes, computed side by side in its 16-bit lane: its middle and
// last byte (one vpmultishiftqb picks bits 6..13 and 0..7 of every unit) and, for a unit from
// 0x800, its first byte; vpermt2b spreads them to 4-byte slots and vpcompressb keeps the bytes the
// unit writes. A surrogate pair stays on this path: its high half writes the first two bytes of
// the 4-byte sequence and its low half the last two, each computed from the unit and its
// neighbour, so a pair across two blocks needs no carried state. A surrogate without its partner
// is "?", as String.getBytes writes it.
#include "Avx512Codecs.hpp"
#include "ScalarCodec.hpp"

#if VY_CODEC_X86

namespace vy::codec::x86::avx512 {
namespace {

VY_AVX512_INLINE __m512i words(uint16_t w) { return _mm512_set1_epi16(static_cast<short>(w)); }

// vpmultishiftqb selectors: byte 2k of a unit's lane takes its bits 6..13, byte 2k+1 bits 0..7.
struct UnitFields {
  uint8_t index[64];
  constexpr UnitFields() : index() {
    for (int b = 0; b < 64; ++b)
      index[b] = static_cast<uint8_t>(16 * (b / 2 % 4) + (b % 2 == 0 ? 6 : 0));
  }
};
alignas(64) constexpr UnitFields kUnitFields{};

// vpermt2b indexes: units 16h..16h+15 as slots [first, middle, last, unused], the middle and
// last byte from the first table (bytes 2k, 2k+1), the first byte from the second (byte 2k).
struct Slots {
  uint8_t index[2][64];
  constexpr Slots() : index() {
    for (int h = 0; h < 2; ++h) {
      for (int k = 0; k < 16; ++k) {
        int unit = 16 * h + k;
        index[h][4 * k] = static_cast<uint8_t>(64 + 2 * unit);
        index[h][4 * k + 1] = static_cast<uint8_t>(2 * unit);
        index[h][4 * k + 2] = static_cast<uint8_t>(2 * unit + 1);
        index[h][4 * k + 3] = static_cast<uint8_t>(2 * unit + 1);
      }
    }
  }
};
alignas(64) constexpr Slots kSlots{};

// vpermt2b indexes: the low bytes of 64 units held in two vectors.
struct LowBytes {
  uint8_t index[64];
  constexpr LowBytes() : index() {
    for (int k = 0; k < 64; ++k) index[k] = static_cast<uint8_t>(2 * k);
  }
};
alignas(64) constexpr LowBytes kLowBytes{};

// The units at u that open with whole blocks of 64 ASCII units (at most `left` units), narrowed
// to bytes at out; returns how many.
VY_AVX512_INLINE size_t narrowAscii(const uint16_t* u, size_t left, uint8_t* out,
                                    __m512i notAscii) {
  size_t i = 0;
  for (; left - i >= 64; i += 64) {
    __m512i b = _mm512_loadu_si512(u + i), d = _mm512_loadu_si512(u + i + 32);
    if (_mm512_test_epi16_mask(_mm512_or_si512(b, d), notAscii) != 0) break;
    _mm512_storeu_si512(out + i,
                        _mm512_permutex2var_epi8(b, _mm512_load_si512(kLowBytes.index), d));
  }
  return i;
}

// The constants of the block encoder. For a text of several blocks they are made once and kept in
// registers (`kHeld`): left to itself the compiler would broadcast each again in every block. A
// text of one block makes only those its path uses.
template <bool kHeld>
VY_AVX512_INLINE __m512i held(__m512i v) {
  return kHeld ? kept(v) : v;
}

template <bool kHeld>
struct Constants {
  __m512i fields, from80, from800, notAscii, surrogates, surrogateSpan, highSpan, highToLead, ten,
      mark, six, marks, lead2, lead3;
  VY_AVX512_INLINE Constants()
      : fields(held<kHeld>(_mm512_load_si512(kUnitFields.index))),
        from80(held<kHeld>(words(0x80))),
        from800(held<kHeld>(words(0x800))),
        notAscii(held<kHeld>(words(0xFF80))),
        surrogates(held<kHeld>(words(0xD800))),
        surrogateSpan(held<kHeld>(words(0x800))),
        highSpan(held<kHeld>(words(0x400))),
        highToLead(held<kHeld>(words(0x3040))),
        ten(held<kHeld>(words(0x3FF))),
        mark(held<kHeld>(words('?'))),
        six(held<kHeld>(words(0x3F3F))),
        marks(held<kHeld>(words(0x8080))),
        lead2(held<kHeld>(words(0x40))),
        lead3(held<kHeld>(words(0xE0))) {}
};

// The units a[0, 32) at u + i (`live`: those of the text, `two`: those from 0x80, not none) as
// UTF-8 at o; returns the end of what it wrote.
template <typename Constants>
VY_AVX512_INLINE uint8_t* encodeBlock(const Constants& k, const uint16_t* u, size_t n, size_t i,
                                      __m512i a, uint32_t live, uint32_t two, uint8_t* o,
                                      size_t* malformed) {
  uint32_t three = _mm512_cmpge_epu16_mask(a, k.from800);
  __m512i x = a;  // a - D800 where the block holds units from 0x800
  uint32_t surrogate = 0;
  if (three != 0) {
    x = _mm512_sub_epi16(a, k.surrogates);
    surrogate = _mm512_cmplt_epu16_mask(x, k.surrogateSpan);
  }
  __m512i c = a;
  uint32_t pairLow = 0;
  if (surrogate != 0) {
    uint32_t high = _mm512_cmplt_epu16_mask(x, k.highSpan);
    uint32_t low = surrogate & ~high;
    uint32_t nextLow = low >> 1, previousHigh = high << 1;
    if (i + 32 < n && scalar::isLowSurrogate(u[i + 32])) nextLow |= 1u << 31;
    if (i > 0 && scalar::isHighSurrogate(u[i - 1])) previousHigh |= 1;
    uint32_t pairHigh = high & nextLow;
    pairLow = low & previousHigh;
    // A high half writes F0 | y >> 6 and 80 | y & 3F with y = cp >> 12 = (h - D7C0) >> 2: with
    // 3000 added before the shift, B0 | y >> 6 before the 2-byte lead's 40 below.
    c = _mm512_mask_srli_epi16(c, pairHigh, _mm512_add_epi16(x, k.highToLead), 2);
    if (pairLow != 0) {
      // A low half writes the code point's low 12 bits: the high half's last 2 bits, its own 10.
      __m512i previous = i > 0 && live == ~0u
                             ? _mm512_loadu_si512(u + i - 1)
                             : loadShortUnits(u + i - 1, i > 0 ? live : live & ~1u,
                                              static_cast<size_t>(32 - __builtin_clz(live)));
      __m512i joined = _mm512_ternarylogic_epi32(c, _mm512_slli_epi16(previous, 10), k.ten, 0xE4);
      c = _mm512_mask_mov_epi16(c, pairLow, joined);
    }
    if (uint32_t lone = surrogate & ~(pairHigh | pairLow)) {
      scalar::noteMalformed(malformed, i + static_cast<size_t>(__builtin_ctz(lone)));
      c = _mm512_mask_mov_epi16(c, lone, k.mark);
      two &= ~lone;
    }
    three &= ~surrogate;
  }
  // Middle byte 80 | (c >> 6) & 3F, last byte 80 | c & 3F; a 2-byte unit's middle byte is its
  // lead (C0), a high half's the 4-byte lead (F0); an ASCII unit is its own last byte.
  __m512i m = _mm512_multishift_epi64_epi8(k.fields, c);
  __m512i t = _mm512_ternarylogic_epi32(m, k.six, k.marks, 0xEA);
  t = _mm512_mask_add_epi16(t, two & ~three & ~pairLow, t, k.lead2);
  t = _mm512_mask_mov_epi16(t, ~two, m);
  if (three == 0) {
    uint64_t keep = _pdep_u64(two, 0x5555555555555555ULL) | _pdep_u64(live, 0xAAAAAAAAAAAAAAAAULL);
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, t));
    return o + _mm_popcnt_u64(keep);
  }
  __m512i first = _mm512_or_si512(_mm512_srli_epi16(c, 12), k.lead3);
  for (int h = 0; h < 2; ++h) {
    __m512i slots = _mm512_permutex2var_epi8(t, _mm512_load_si512(kSlots.index[h]), first);
    uint64_t keep = _pdep_u64((three >> (16 * h)) & 0xFFFF, 0x1111111111111111ULL) |
                    _pdep_u64((two >> (16 * h)) & 0xFFFF, 0x2222222222222222ULL) |
                    _pdep_u64((live >> (16 * h)) & 0xFFFF, 0x4444444444444444ULL);
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, slots));
    o += _mm_popcnt_u64(keep);
  }
  return o;
}

// The units u[i, n) as UTF-8 at out; returns how many bytes it wrote.
template <bool kHeld>
VY_AVX512_INLINE size_t unitsToUtf8(const uint16_t* u, size_t n, size_t i, uint8_t* out,
                                    size_t* malformed) {
  const Constants<kHeld> k;
  uint8_t* o = out;
  while (n - i >= 32) {
    __m512i a = _mm512_loadu_si512(u + i);
    uint32_t two = _mm512_cmpge_epu16_mask(a, k.from80);  // units of two bytes or more
    if (two != 0) {
      o = encodeBlock(k, u, n, i, a, ~0u, two, o, malformed);
      i += 32;
      continue;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm512_cvtepi16_epi8(a));
    o += 32;
    i += 32;
    // A run of ASCII goes on 64 units at a time.
    size_t run = narrowAscii(u + i, n - i, o, k.notAscii);
    o += run;
    i += run;
  }
  if (i < n) {
    uint32_t live = (1u << (n - i)) - 1;
    __m512i a = loadShortUnits(u + i, live, n - i);
    uint32_t two = _mm512_cmpge_epu16_mask(a, k.from80);
    if (two != 0) {
      o = encodeBlock(k, u, n, i, a, live, two, o, malformed);
    } else {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm512_cvtepi16_epi8(a));
      o += n - i;
    }
  }
  return static_cast<size_t>(o - out);
}

VY_AVX512 size_t unitsToUtf8Long(const uint16_t* u, size_t n, size_t i, uint8_t* out,
                                 size_t* malformed) {
  return unitsToUtf8<true>(u, n, i, out, malformed);
}

VY_AVX512 size_t unitsToUtf8Short(const uint16_t* u, size_t n, size_t i, uint8_t* out,
                                  size_t* malformed) {
  return unitsToUtf8<false>(u, n, i, out, malformed);
}

// An ASCII opening: most texts are ASCII throughout, and pay then for none of the block
// encoder's constants.
VY_AVX512 size_t asciiOpening(const uint16_t* u, size_t n, uint8_t* out) {
  return narrowAscii(u, n, out, words(0xFF80));
}

}  // namespace

// A short text (a field, mostly) of units below 0x800 in one masked block, before the block
// loop and its constants: ASCII narrowed, any other unit written as its 2-byte sequence. Returns
// the bytes written, or SIZE_MAX for a text with a unit from 0x800 (surrogates included).
VY_AVX512 size_t shortToBytes(const uint16_t* u, size_t n, uint8_t* out) {
  uint32_t live = n >= 32 ? ~0u : (1u << n) - 1;
  __m512i a = loadShortUnits(u, live, n);
  uint32_t two = _mm512_cmpge_epu16_mask(a, words(0x80));
  if (two == 0) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_cvtepi16_epi8(a));
    return n;
  }
  if (_mm512_cmpge_epu16_mask(a, words(0x800)) != 0) return SIZE_MAX;
  // C0 | unit >> 6 in the low byte, 80 | unit & 3F in the high one.
  __m512i marks = _mm512_or_si512(_mm512_srli_epi16(a, 6), words(0x80C0));
  __m512i pair = _mm512_ternarylogic_epi32(_mm512_slli_epi16(a, 8), words(0x3F00), marks, 0xEA);
  uint64_t keep = _pdep_u64(live, 0x5555555555555555ULL) | _pdep_u64(two, 0xAAAAAAAAAAAAAAAAULL);
  _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, _mm512_mask_mov_epi16(a, two, pair)));
  return static_cast<size_t>(_mm_popcnt_u64(keep));
}

Converted utf16ToUtf8(const uint16_t* u, size_t n, uint8_t* out) {
  if (n <= 32) {
    size_t written = shortToBytes(u, n, out);
    if (written != SIZE_MAX) return {written, n};
  }
  size_t i = n >= 64 ? asciiOpening(u, n, out) : 0;
  if (i == n) return {n, n};
  size_t malformed = n;
  size_t written = n - i > 32 ? unitsToUtf8Long(u, n, i, out + i, &malformed)
                              : unitsToUtf8Short(u, n, i, out + i, &malformed);
  return {i + written, malformed};
}

}  // namespace vy::codec::x86::avx512

#endif  // VY_CODEC_X86
