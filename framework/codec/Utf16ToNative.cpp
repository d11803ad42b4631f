// UTF-16 units to native bytes, as String.getBytes(charset) writes them.
#include "Codec.hpp"
#include "ScalarCodec.hpp"

namespace vy::codec {

// In UTF-8 a unit from 0x80 takes one byte more, one from 0x800 two (a surrogate takes less:
// one "?" or half of a 4-byte sequence); in the 8-bit charsets every unit or pair takes one.
size_t nativeCapacityFromUtf16(Charset cs, const uint16_t* u, size_t n) {
  if (cs != Charset::kUtf8) return n;
  size_t extra = 0;
  for (size_t i = 0; i < n; ++i) extra += (u[i] >= 0x80) + (u[i] >= 0x800);
  return n + extra;
}

Converted utf16ToNative(Charset cs, const uint16_t* u, size_t n, uint8_t* out) {
  size_t malformed = n;
  uint8_t* o = out;
  if (cs == Charset::kUtf8) {
    scalar::encodeUtf8(u, n, 0, n, o, &malformed);
  } else {
    scalar::encodeEightBit(u, n, 0, n, cs == Charset::kLatin1 ? 0x100u : 0x80u, o, &malformed);
  }
  return {static_cast<size_t>(o - out), malformed};
}

}  // namespace vy::codec
