// Native bytes to the JVM's modified UTF-8, as GetStringUTFChars gives a String(byte[], charset).
#include "Codec.hpp"
#include "ScalarCodec.hpp"

namespace vy::codec {

// Every byte above 0x7F grows to at most three bytes: a malformed UTF-8 sequence (which holds
// at least one) becomes U+FFFD, a 4-byte one a 6-byte surrogate pair, a Latin-1 byte two bytes,
// a US-ASCII one U+FFFD.
size_t modifiedUtf8Capacity(const uint8_t* s, size_t n) {
  size_t high = 0;
  for (size_t i = 0; i < n; ++i) high += s[i] >> 7;
  return n + 2 * high;
}

Converted nativeToModifiedUtf8(Charset cs, const uint8_t* s, size_t n, uint8_t* out) {
  size_t malformed = n;
  size_t i = 0;
  scalar::ModifiedUtf8Out sink{out};
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
