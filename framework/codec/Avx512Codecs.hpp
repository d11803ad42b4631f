// The AVX-512 level's whole conversions (see Codec.hpp for what each does and how its output is
// sized); called only when that level is in use.
#ifndef VY_AVX512_CODECS_HPP
#define VY_AVX512_CODECS_HPP

#include "Codec.hpp"
#include "SimdX86.hpp"

#if VY_CODEC_X86

namespace vy::codec::x86::avx512 {

Converted utf8ToUtf16(const uint8_t* s, size_t n, uint16_t* out);
Converted utf8ToModified(const uint8_t* s, size_t n, uint8_t* out);
Converted modifiedToUtf8(const uint8_t* s, size_t n, uint8_t* out);
Converted utf16ToUtf8(const uint16_t* u, size_t n, uint8_t* out);
// ISO-8859-1 (or US-ASCII when `ascii`) to UTF-16, and UTF-16 to them (limit 0x100 or 0x80).
Converted eightBitToUtf16(bool ascii, const uint8_t* s, size_t n, uint16_t* out);
Converted utf16ToEightBit(const uint16_t* u, size_t n, uint16_t limit, uint8_t* out);
size_t countHigh(const uint8_t* s, size_t n, bool withNul);
size_t copyAscii(const uint8_t* s, size_t n, uint8_t* out);
size_t narrowAscii(const uint16_t* u, size_t n, uint8_t* out);
// Units from 0x80 plus units from 0x800 (the bytes UTF-8 adds to one per unit).
size_t utf8Extra(const uint16_t* u, size_t n);

}  // namespace vy::codec::x86::avx512

#endif  // VY_CODEC_X86
#endif  // VY_AVX512_CODECS_HPP
