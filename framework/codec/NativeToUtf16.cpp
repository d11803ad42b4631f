// Native bytes to UTF-16 units, as String(byte[], charset) decodes them.
#include "Codec.hpp"
#include "ScalarCodec.hpp"

namespace vy::codec {

size_t utf16Capacity(size_t n) { return n; }

Converted nativeToUtf16(Charset cs, const uint8_t* s, size_t n, uint16_t* out) {
  size_t malformed = n;
  size_t i = 0;
  switch (cs) {
    case Charset::kLatin1:
      for (; i < n; ++i) out[i] = s[i];
      return {n, n};
    case Charset::kAscii:
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
  scalar::UnitsOut sink{out};
  scalar::decodeUtf8(s, n, i, n, sink, &malformed);
  return {static_cast<size_t>(sink.p - out), malformed};
}

}  // namespace vy::codec
